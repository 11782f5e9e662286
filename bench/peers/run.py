"""Duvix beside the peer viewers, in one run of the peer benchmark (peerbench.py beside this file).

Duvix reads no command line, so it is driven as a person would: "Left Image", type the
path, and the clock starts when Enter has been sent; the probe watches the left half.

Usage: dbus-run-session -- python3 bench/peers/run.py BUILD_DIR [--baseline OTHER_BUILD_DIR]
       [peerbench options]
(e.g. --viewers duvix,feh,nsxiv,qimgv-dialog --runs 5 --no-djpeg --out /tmp/r.md)
--baseline adds "duvix-baseline", another build of Duvix driven the same way, so a change can
be compared with the code before it in the same run (add it to --viewers).
"qt-floor" is the bare Qt window of BUILD_DIR/bench, driven the same way: it opens Qt's Open
dialog and paints the markers without reading the file, so its time and memory are the least
any Qt program reaches through that dialog.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import peerbench  # noqa: E402

build = os.path.abspath(sys.argv.pop(1))
builds = {"duvix": build}
if "--baseline" in sys.argv:
    at = sys.argv.index("--baseline")
    builds["duvix-baseline"] = os.path.abspath(sys.argv[at + 1])
    del sys.argv[at:at + 2]
starts = {name: [os.path.join(folder, "duvix")] for name, folder in builds.items()}
starts["qt-floor"] = [os.path.join(build, "bench", "bench_bare_window"), "--dialog"]
# "Left Image" is the second menu item; the left pane's centre is a quarter across.
for name, start in starts.items():
    peerbench.VIEWERS[name] = dict(
        pkg=name, wm=True, start=start,
        drive="W=$(xdotool search --sync --onlyvisible --pid $PID | head -1); sleep 1; "
              "Y=$(xwininfo -id $W | awk '/Absolute upper-left Y/ {print $4}'); "
              "X=$(xwininfo -id $W | awk '/Absolute upper-left X/ {print $4}'); "
              "xdotool mousemove $((X + 60)) $((Y + 10)) click 1; sleep 1; "
              "xdotool type --delay 1 \"$IMG\"; sleep 0.3",
        trigger="xdotool key --delay 0 Return",
        probe_args=["-x", str(peerbench.SCREEN_W // 4), "-y", "560"])
peerbench.version = (lambda orig: lambda pkg: "1.00" if pkg in starts else orig(pkg))(
    peerbench.version)
if "--out" not in sys.argv:
    sys.argv += ["--out", os.path.join(HERE, "results.md")]
peerbench.main()
