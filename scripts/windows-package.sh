#!/usr/bin/env bash
# windows-package.sh BUILD_DIR OUT_DIR: stages the Windows build with the DLLs and Qt plugins it
# loads into OUT_DIR/stage/Duvix/, then writes Duvix-<version>-windows-x64.zip and
# Duvix-<version>-setup.exe into OUT_DIR. DUVIX_WIN_PREFIX is the Qt for Windows prefix.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR OUT_DIR" >&2; exit 2; }
: "${DUVIX_WIN_PREFIX:?DUVIX_WIN_PREFIX must name the Qt for Windows prefix}"
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
triple=x86_64-w64-mingw32
for tool in $triple-objdump $triple-strip $triple-g++-posix makensis zip; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

version=$(sed -n 's/^set(DUVIX_VERSION_TEXT \([0-9.]*\))$/\1/p' "$root/CMakeLists.txt")
[[ $version =~ ^([0-9]+)\.([0-9]+)$ ]] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
# Windows wants four numbers: 1.00 is 1.0.0.0.
win_version="$((10#${BASH_REMATCH[1]})).$((10#${BASH_REMATCH[2]})).0.0"
# Fixed file times, so that the same build packs into the same archive.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
export TZ=UTC LC_ALL=C

# DLLs that may be shipped, by lower-case name; any other import is Windows' own.
dll_dirs=("$DUVIX_WIN_PREFIX/bin")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  path=$($triple-g++-posix -print-file-name=$dll)
  [ -f "$path" ] || { echo "the compiler does not know where $dll is" >&2; exit 1; }
  dll_dirs+=("$(dirname "$path")")
done
declare -A shippable=()
for dir in "${dll_dirs[@]}"; do
  for f in "$dir"/*.dll; do
    [ -f "$f" ] && shippable[$(basename "${f,,}")]=$f
  done
done

stage=$out/stage/Duvix
rm -rf "$out/stage"
mkdir -p "$stage"
ship() {  # ship FILE SUBFOLDER
  mkdir -p "$stage/$2"
  cp "$1" "$stage/$2/"
}
for exe in Duvix.exe tools/duvix-picinfo.exe; do
  [ -f "$build/$exe" ] || { echo "missing $build/$exe" >&2; exit 1; }
  ship "$build/$exe" .
done
plugins=$DUVIX_WIN_PREFIX/plugins
# duvix-picinfo draws off screen unless QT_QPA_PLATFORM says otherwise. GIFs that the program's
# own line reader declines go to Qt's GIF reader, a plugin; BMP's is part of Qt6Gui, and JPEG is
# decoded by the program itself.
for plugin in platforms/qwindows platforms/qoffscreen imageformats/qgif; do
  [ -f "$plugins/$plugin.dll" ] || { echo "missing $plugins/$plugin.dll" >&2; exit 1; }
  ship "$plugins/$plugin.dll" "$(dirname $plugin)"
done
# Without it Qt falls back to its plain Windows style.
[ -f "$plugins/styles/qwindowsvistastyle.dll" ] && ship "$plugins/styles/qwindowsvistastyle.dll" styles
tr -d '\r' <"$root/LICENSE" | sed 's/$/\r/' >"$stage/LICENSE.txt"

# Every DLL the programs and plugins import, followed through the DLLs they import in turn.
declare -A seen=() system=()
queue=("$stage/Duvix.exe" "$stage/duvix-picinfo.exe" "$stage"/*/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r dll; do
    key=${dll,,}
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    if [ -n "${shippable[$key]:-}" ]; then
      ship "${shippable[$key]}" .
      queue+=("$stage/$(basename "${shippable[$key]}")")
    else
      system[$key]=1
    fi
  done < <($triple-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r')
done
echo "Windows' own DLLs it imports: $(printf '%s\n' "${!system[@]}" | sort | tr '\n' ' ')"

# Debug sections only: the version record, icons and exports stay. The compiler's runtime DLLs
# come with theirs (20 MB). Strip stamps the file with SOURCE_DATE_EPOCH, else with the time now.
export SOURCE_DATE_EPOCH=$epoch
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec $triple-strip --strip-debug {} +
find "$stage" -exec touch -h -d "@$epoch" {} +
(cd "$stage" && find . -type f | sed 's|^\./||' | sort) >"$out/stage/files.txt"
echo "Staged $(wc -l <"$out/stage/files.txt") files in $stage"

zip_file=$out/Duvix-$version-windows-x64.zip
rm -f "$zip_file"
(cd "$out/stage" && sed 's|^|Duvix/|' files.txt | zip -X -q -@ "$zip_file")

# The installer's file list and the uninstaller's, from the same listing, so that the
# uninstaller removes exactly what was installed.
nsh=$out/stage/files.nsh
{
  echo '!macro DUVIX_INSTALL_FILES'
  prev=
  while read -r f; do
    dir=$(dirname "$f")
    if [ "$dir" != "$prev" ]; then
      target="\$INSTDIR"
      [ "$dir" = . ] || target+="\\${dir//\//\\}"
      echo "  SetOutPath \"$target\""
      prev=$dir
    fi
    echo "  File \"\${STAGE}/${f//\$/\$\$}\""
  done <"$out/stage/files.txt"
  echo '!macroend'
  echo '!macro DUVIX_REMOVE_FILES'
  while read -r f; do
    echo "  Delete \"\$INSTDIR\\${f//\//\\}\""
  done <"$out/stage/files.txt"
  # Deepest folders first, each only if empty.
  (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r) | while read -r d; do
    echo "  RMDir \"\$INSTDIR\\${d//\//\\}\""
  done
  echo '!macroend'
} >"$nsh"

size_kb=$(find "$stage" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", (s + 1023) / 1024 }')
setup=$out/Duvix-$version-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DWIN_VERSION="$win_version" \
  -DSTAGE="$stage" -DFILES_NSH="$nsh" -DSIZE_KB="$size_kb" -DOUTFILE="$setup" \
  "$root/resources/windows/duvix.nsi"
touch -d "@$epoch" "$zip_file" "$setup"
echo "Wrote $zip_file"
echo "Wrote $setup"
