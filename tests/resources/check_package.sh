#!/bin/sh
set -eu
# Needs desktop-file-utils, cmake, dpkg(-dev), lintian, appstream, man-db, groff-base.

fail() { echo "FAIL: $*" >&2; exit 1; }
# has FILE LINE...: every LINE (a regular expression) is a whole line of FILE.
has() {
    file=$1; shift; for l; do grep -qx -- "$l" "$file" || { cat "$file" >&2; fail "$file lacks '$l'"; }; done
}

check_desktop() {
    out=$(desktop-file-validate "$1" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
    # Duvix reads no command line: a field code such as %f would pass it file names.
    has "$1" Exec=duvix Name=Duvix Icon=duvix Type=Application 'Categories=.*Graphics;.*'
    # Nor may it claim picture types: "Open with Duvix" would start it empty.
    ! grep -q '^MimeType=' "$1" || fail "MimeType offers files Duvix cannot open"
}

check_deb() {
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    cpack -G DEB --config "$1" -B "$tmp" >"$tmp/cpack.log" 2>&1 \
        || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
    deb="$tmp/duvix_1.00_$(dpkg --print-architecture).deb"
    [ -f "$deb" ] || { ls "$tmp" >&2; fail "no $(basename "$deb")"; }
    dpkg-deb -f "$deb" >"$tmp/control"
    has "$tmp/control" 'Package: duvix' 'Version: 1\.00' 'Maintainer: ..*' 'Description: ..*' \
        'Depends:.*\blibqt6widgets6\b.*' 'Depends:.*\blibqt6gui6\b.*' \
        'Depends:.*\blibqt6core6\b.*' 'Depends:.*\blibc6\b.*'

    has_picinfo=$2
    dpkg-deb -c "$deb" | awk '{print $NF}' >"$tmp/contents"
    set -- ./usr/bin/duvix ./usr/share/applications/duvix.desktop \
        ./usr/share/icons/hicolor/scalable/apps/duvix.svg \
        ./usr/share/metainfo/org.example.Duvix.metainfo.xml ./usr/share/man/man1/duvix.1.gz \
        ./usr/share/doc/duvix/copyright ./usr/share/doc/duvix/changelog.gz
    for n in 16 22 24 32 48 64 128 256; do set -- "$@" "./usr/share/icons/hicolor/${n}x${n}/apps/duvix.png"; done
    [ "$has_picinfo" = 1 ] && set -- "$@" ./usr/bin/duvix-picinfo ./usr/share/man/man1/duvix-picinfo.1.gz
    has "$tmp/contents" "$@"
    # Build and test files must stay out of the package.
    if grep -E '\.(a|h|cmake)$|gtest|_test$' "$tmp/contents"; then fail "stray files in the package"; fi
    dpkg-deb -x "$deb" "$tmp/root"
    [ -x "$tmp/root/usr/bin/duvix" ] || fail "duvix is not executable"
    # Errors and warnings both fail.
    lintian --allow-root --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian failed"
    appstreamcli validate --no-net "$tmp/root/usr/share/metainfo/org.example.Duvix.metainfo.xml" \
        >/dev/null || fail "the installed metainfo does not validate"
}

check_metainfo() {
    out=$(appstreamcli validate --no-net "$1" 2>&1) || fail "appstreamcli: $out"
    ! echo "$out" | grep -E '^[EW]: ' || fail "appstreamcli complains: $out"
    has "$1" ' *<launchable type="desktop-id">duvix\.desktop</launchable>' \
        ' *<metadata_license>MIT</metadata_license>' ' *<project_license>MIT</project_license>'
}

check_man() {
    text=$(mktemp)
    trap 'rm -f "$text"' EXIT
    for page in "$@"; do
        # man -l through groff with every warning on (-ww); any message is a fault.
        err=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null) && [ -z "$err" ] \
            || fail "man -l $page: $err"
        LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" >"$text" 2>/dev/null
        has "$text" NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" "SEE ALSO"
    done
}

check_licence() {
    has "$1/LICENSE" 'MIT License' 'Copyright (c) 2026 The Duvix developers'
    has "$1/README.md" '.*SPDX-License-Identifier: MIT.*'
    # Every source of the test pictures is named, with its licence.
    has "$1/resources/debian/copyright" 'License: MIT' \
        $(tail -n +2 "$1/tests/data/corpus/MANIFEST.tsv" | cut -f3 | sort -u | sed 's/.*/.*&.*/')
}

case ${1:-} in
    desktop | metainfo | licence) check_$1 "$2" ;;
    deb) check_deb "$2" "${3:-0}" ;;
    man) shift; check_man "$@" ;;
    *) fail "usage: $0 desktop FILE | deb CPackConfig.cmake HAS_PICINFO | metainfo FILE | man PAGE... | licence DIR" ;;
esac
