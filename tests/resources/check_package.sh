#!/bin/sh
# check_package.sh desktop FILE.desktop
# check_package.sh deb CPackConfig.cmake HAS_PICINFO(0|1)
set -eu

fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null 2>&1 || fail "$1 not found (Debian package $2)"; }

check_desktop() {
    file=$1
    need desktop-file-validate desktop-file-utils
    out=$(desktop-file-validate "$file" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate complains: $out"
    # Duvix reads no command line: a field code such as %f would pass it file names.
    grep -qx 'Exec=duvix' "$file" || fail "Exec must be exactly 'duvix'"
    grep -qx 'Name=Duvix' "$file" || fail "Name must be Duvix"
    grep -qx 'Icon=duvix' "$file" || fail "Icon must name the theme icon duvix"
    grep -qx 'Type=Application' "$file" || fail "Type must be Application"
    grep -q '^Categories=.*Graphics;' "$file" || fail "Categories lacks Graphics"
    for mime in image/bmp image/gif image/jpeg image/wmf; do
        grep -q "^MimeType=.*$mime;" "$file" || fail "MimeType lacks $mime"
    done
    echo "desktop entry ok"
}

check_deb() {
    config=$1
    has_picinfo=$2
    need cpack cmake
    need dpkg-deb dpkg
    need dpkg-shlibdeps dpkg-dev
    [ -f "$config" ] || fail "no $config"
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    cpack -G DEB --config "$config" -B "$tmp" >"$tmp/cpack.log" 2>&1 \
        || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
    arch=$(dpkg --print-architecture)
    deb="$tmp/duvix_1.00_${arch}.deb"
    [ -f "$deb" ] || { ls "$tmp" >&2; fail "no $(basename "$deb")"; }

    [ "$(dpkg-deb -f "$deb" Package)" = duvix ] || fail "package name"
    [ "$(dpkg-deb -f "$deb" Version)" = 1.00 ] || fail "version is not 1.00"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
    [ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "no description"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for lib in libqt6widgets6 libqt6gui6 libqt6core6 libc6; do
        echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib"
    done

    dpkg-deb -c "$deb" | awk '{print $NF}' >"$tmp/contents"
    want="./usr/bin/duvix ./usr/share/applications/duvix.desktop
          ./usr/share/icons/hicolor/scalable/apps/duvix.svg"
    for n in 16 22 24 32 48 64 128 256; do
        want="$want ./usr/share/icons/hicolor/${n}x${n}/apps/duvix.png"
    done
    [ "$has_picinfo" = 1 ] && want="$want ./usr/bin/duvix-picinfo"
    for f in $want; do
        grep -qx "$f" "$tmp/contents" || { cat "$tmp/contents" >&2; fail "package lacks $f"; }
    done
    # Build and test files must stay out of the package.
    if grep -E '\.(a|h|cmake)$|gtest|_test$' "$tmp/contents"; then fail "stray files in the package"; fi
    dpkg-deb -x "$deb" "$tmp/root"
    [ -x "$tmp/root/usr/bin/duvix" ] || fail "duvix is not executable"
    echo "package ok: $(basename "$deb")"
}

case ${1:-} in
    desktop) check_desktop "$2" ;;
    deb) check_deb "$2" "${3:-0}" ;;
    *) fail "usage: $0 desktop FILE | deb CPackConfig.cmake HAS_PICINFO" ;;
esac
