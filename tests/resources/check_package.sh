#!/bin/sh
# check_package.sh desktop FILE.desktop
# check_package.sh deb CPackConfig.cmake HAS_PICINFO(0|1)
# check_package.sh metainfo FILE.metainfo.xml
# check_package.sh man PAGE.1...
# check_package.sh licence SOURCE_DIR
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
    # Nor may it claim picture types: "Open with Duvix" would start it empty.
    if grep -q '^MimeType=' "$file"; then fail "MimeType offers files Duvix cannot open"; fi
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
          ./usr/share/icons/hicolor/scalable/apps/duvix.svg
          ./usr/share/metainfo/org.example.Duvix.metainfo.xml
          ./usr/share/man/man1/duvix.1.gz ./usr/share/doc/duvix/copyright
          ./usr/share/doc/duvix/changelog.gz"
    for n in 16 22 24 32 48 64 128 256; do
        want="$want ./usr/share/icons/hicolor/${n}x${n}/apps/duvix.png"
    done
    [ "$has_picinfo" = 1 ] && want="$want ./usr/bin/duvix-picinfo ./usr/share/man/man1/duvix-picinfo.1.gz"
    for f in $want; do
        grep -qx "$f" "$tmp/contents" || { cat "$tmp/contents" >&2; fail "package lacks $f"; }
    done
    # Build and test files must stay out of the package.
    if grep -E '\.(a|h|cmake)$|gtest|_test$' "$tmp/contents"; then fail "stray files in the package"; fi
    dpkg-deb -x "$deb" "$tmp/root"
    [ -x "$tmp/root/usr/bin/duvix" ] || fail "duvix is not executable"

    # Errors and warnings both fail.
    need lintian lintian
    need appstreamcli appstream
    rc=0
    lintian --allow-root --fail-on error,warning --tag-display-limit 0 "$deb" \
        >"$tmp/lintian.log" 2>&1 || rc=$?
    cat "$tmp/lintian.log"
    [ "$rc" = 0 ] || fail "lintian failed ($rc)"
    if grep -E '^[EW]: ' "$tmp/lintian.log"; then fail "lintian reports errors or warnings"; fi
    appstreamcli validate --no-net \
        "$tmp/root/usr/share/metainfo/org.example.Duvix.metainfo.xml" >/dev/null \
        || fail "the installed metainfo does not validate"
    echo "package ok: $(basename "$deb")"
}

check_metainfo() {
    file=$1
    need appstreamcli appstream
    out=$(appstreamcli validate --no-net "$file" 2>&1) || fail "appstreamcli: $out"
    if echo "$out" | grep -E '^[EW]: '; then fail "appstreamcli complains: $out"; fi
    grep -q '<launchable type="desktop-id">duvix.desktop</launchable>' "$file" \
        || fail "metainfo does not launch duvix.desktop"
    grep -q '<metadata_license>MIT</metadata_license>' "$file" || fail "metadata licence"
    grep -q '<project_license>MIT</project_license>' "$file" || fail "project licence"
    echo "metainfo ok"
}

check_man() {
    need man man-db
    need groff groff-base
    for page in "$@"; do
        # man -l through groff with every warning on (-ww); any message is a fault.
        err=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null) \
            || fail "man -l $page failed: $err"
        [ -z "$err" ] || fail "$page: $err"
        text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)
        for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" "SEE ALSO"; do
            echo "$text" | grep -qx "$section" || fail "$page lacks $section"
        done
    done
    echo "manual pages ok"
}

check_licence() {
    src=$1
    grep -q '^MIT License$' "$src/LICENSE" || fail "LICENSE is not the MIT licence"
    grep -q '^Copyright (c) 2026 The Duvix developers$' "$src/LICENSE" || fail "LICENSE holder"
    grep -q 'SPDX-License-Identifier: MIT' "$src/README.md" || fail "README lacks the SPDX line"
    copyright=$src/resources/debian/copyright
    grep -q '^License: MIT$' "$copyright" || fail "copyright file lacks the MIT licence"
    # Every source of the test pictures is named, with its licence.
    tail -n +2 "$src/tests/data/corpus/MANIFEST.tsv" | cut -f3 | sort -u | while read -r repo; do
        grep -q "$repo" "$copyright" || fail "copyright file does not name $repo"
    done
    echo "licence ok"
}

case ${1:-} in
    desktop) check_desktop "$2" ;;
    deb) check_deb "$2" "${3:-0}" ;;
    metainfo) check_metainfo "$2" ;;
    man) shift; check_man "$@" ;;
    licence) check_licence "$2" ;;
    *) fail "usage: $0 desktop FILE | deb CPackConfig.cmake HAS_PICINFO | metainfo FILE | man PAGE... | licence DIR" ;;
esac
