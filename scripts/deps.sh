#!/usr/bin/env bash
# Installs the Debian 12 packages Duvix needs: `deps.sh run` to build and run, `deps.sh test` to
# build and test, `deps.sh windows` to cross-build for Windows and test under Wine.
set -euo pipefail

run_pkgs=(build-essential cmake ninja-build pkg-config qt6-base-dev libsimpleini-dev libjpeg62-turbo-dev
          qt6-wayland libxcb1-dev fonts-liberation2 fonts-symbola libgif-dev)
test_pkgs=(libgtest-dev python3 xvfb xauth openbox xdotool x11-utils x11-apps wmctrl dbus dbus-x11
           desktop-file-utils clang-format binutils-mingw-w64-x86-64 dpkg-dev file libx11-dev
           weston at-spi2-core libglib2.0-bin lintian appstream man-db groff-base libxfixes-dev clang)

# Qt's host tools (moc, rcc, uic) come from the Linux packages; Qt itself, libjpeg-turbo, giflib
# and GoogleTest are built for Windows from Debian's sources by scripts/windows.sh.
win_pkgs=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          mingw-w64-tools nasm wine64 wine libwine-dev fonts-wine nsis zip unzip xz-utils python3 xvfb xauth openbox
          xdotool x11-utils)

want=("${run_pkgs[@]}")
case "${1:-run}" in
  test) want+=("${test_pkgs[@]}") ;;
  windows) want+=("${win_pkgs[@]}") ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
