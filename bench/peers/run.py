"""Duvix beside the peer viewers, in one run of the peer benchmark (peerbench.py beside this file).

Duvix reads no command line, so it is driven as a person would: "Left Image", type the
path, and the clock starts when Enter has been sent; the probe watches the left half.

Usage: dbus-run-session -- python3 bench/peers/run.py BUILD_DIR [peerbench options]
(e.g. --viewers duvix,feh,nsxiv,qimgv-dialog --runs 5 --no-djpeg --out /tmp/r.md)
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import peerbench  # noqa: E402

build = os.path.abspath(sys.argv.pop(1))
# "Left Image" is the second menu item; the left pane's centre is a quarter across.
peerbench.VIEWERS["duvix"] = dict(
    pkg="duvix", wm=True, start=[os.path.join(build, "duvix")],
    drive="W=$(xdotool search --sync --onlyvisible --pid $PID | head -1); sleep 1; "
          "Y=$(xwininfo -id $W | awk '/Absolute upper-left Y/ {print $4}'); "
          "X=$(xwininfo -id $W | awk '/Absolute upper-left X/ {print $4}'); "
          "xdotool mousemove $((X + 60)) $((Y + 10)) click 1; sleep 1; "
          "xdotool type --delay 1 \"$IMG\"; sleep 0.3",
    trigger="xdotool key --delay 0 Return",
    probe_args=["-x", str(peerbench.SCREEN_W // 4), "-y", "560"])
peerbench.version = (lambda orig: lambda pkg: "1.00" if pkg == "duvix" else orig(pkg))(peerbench.version)
if "--out" not in sys.argv:
    sys.argv += ["--out", os.path.join(HERE, "results.md")]
peerbench.main()
