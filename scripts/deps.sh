#!/usr/bin/env bash
# Installs the Debian 12 packages Duvix needs: `deps.sh run` to build and run, `deps.sh test` to build and test.
set -euo pipefail

run_pkgs=(build-essential cmake ninja-build pkg-config qt6-base-dev libsimpleini-dev libjpeg62-turbo-dev
          qt6-wayland libxcb1-dev fonts-liberation2 libgif-dev)
test_pkgs=(libgtest-dev python3 xvfb openbox xdotool x11-utils x11-apps wmctrl dbus dbus-x11
           desktop-file-utils clang-format binutils-mingw-w64-x86-64 dpkg-dev file libx11-dev
           weston at-spi2-core libglib2.0-bin lintian appstream man-db groff-base libxfixes-dev clang)

want=("${run_pkgs[@]}")
if [ "${1:-run}" = test ]; then
  want+=("${test_pkgs[@]}")
fi

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
