#!/bin/sh
# check_picinfo.sh DUVIX-PICINFO PICTURE [RUNNER]: the inspector's options and its refusals.
# RUNNER starts a program of another system (Wine for the Windows build).
set -u
tool=$1 picture=$2 runner=${3:-}
fail() { echo "FAIL: $*" >&2; exit 1; }

# expect CODE STREAM PATTERN ARGS...: exit code, and PATTERN on stdout or stderr.
expect() {
    code=$1 stream=$2 pattern=$3; shift 3
    $runner "$tool" "$@" >out.raw 2>err.raw
    got=$?
    tr -d '\r' <out.raw >out.txt && tr -d '\r' <err.raw >err.txt
    [ "$got" = "$code" ] && grep -q -- "$pattern" "$stream.txt" ||
        fail "'$*' exits $got (want $code and '$pattern' on $stream): $(cat out.txt err.txt)"
}

dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" || exit 1
expect 0 out 'usage: duvix-picinfo' --help
expect 0 out 'usage: duvix-picinfo' -h
expect 0 out '^duvix-picinfo 1\.00$' --version
expect 2 err "unknown option '--bogus'" --bogus "$picture"
expect 2 err 'no picture file given'
expect 2 err '--png needs an output file' "$picture" --png
expect 2 err '--png takes exactly one picture file' --png o.png "$picture" "$picture"
expect 1 out 'error: ' no-such-file.bmp
expect 0 out '	ok	' "$picture"
expect 0 out '	ok	' --png shot.png "$picture"
[ -s shot.png ] || fail "--png wrote nothing"
# After "--", a name that starts with a dash is a file.
expect 1 out '^-odd\.bmp	error: ' -- -odd.bmp
