#!/bin/bash
# Duvix's other route to a pane: a file dragged from another program and let go over the left
# half. The probe's clock starts when the button is released; it prints time and peak memory
# at pixels, as the peer benchmark does.
#
# Usage: DISPLAY=:N bench/peers/drop.sh BUILD_DIR FILE [runs]
# Needs a window manager on DISPLAY, the probe built by an earlier peer run
# ($PB_BUILD, default /tmp/peerbench-build) and BUILD_DIR/tests/e2e_helper.
set -eu
build=$(cd "$1" && pwd)
file=$2
runs=${3:-3}
probe=${PB_BUILD:-/tmp/peerbench-build}/probe
for _ in $(seq "$runs"); do
  "$build/duvix" >/dev/null 2>&1 &
  duvix=$!
  xdotool search --sync --onlyvisible --pid "$duvix" >/dev/null
  sleep 1.5  # the menu bar is built after the first paint
  "$build/tests/e2e_helper" drag "$file" >/dev/null 2>&1 &
  source=$!
  eval "$(xdotool getwindowgeometry --shell "$(xdotool search --sync --all --pid "$source" --name '^e2e-drag-source$' | head -1)")"
  sleep 0.5
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) mousedown 1
  sleep 0.3
  xdotool mousemove $((X + WIDTH / 2 + 5)) $((Y + HEIGHT / 2))
  for i in 1 2 3 4 5 6; do  # a few moves over the target so it answers the drag
    xdotool mousemove $((480 + i % 2)) 540
    sleep 0.2
  done
  "$probe" -p "$duvix" -x 480 -y 560 -s 'xdotool mouseup 1' || true
  kill "$source" "$duvix" 2>/dev/null || true
  wait 2>/dev/null || true
done
