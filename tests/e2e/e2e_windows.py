"""Duvix.exe on Windows' own window layer, under Wine on a private desktop: start, a path typed
into the Windows Open dialog, a file dragged in as Explorer drags (OLE, a file list), the black
viewer, Exit; and afterwards nothing new beside the program, in the user's folders or in the
registry."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (GREY, PATIENCE, Desktop, centre, check_placed, close,  # noqa: E402
                     drag_file, expected_rect, listing, menu_items, start_duvix)

RED = (0xe0, 0x10, 0x10)
BLUE = (0x10, 0x30, 0xe0)
BLACK = (0, 0, 0)
COPY = 1


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


# Wine's own record of the monitor it finds, rewritten whenever a program starts on a screen of
# another size than the last one's.
WINE_MONITOR = re.compile(r"^\[System\\\\CurrentControlSet\\\\Enum\\\\DISPLAY\\\\")


def registry(prefix):
    """The Wine user's and machine's registry without the times Wine stamps on keys it reads and
    on its display driver each time it starts one, and without its monitor record."""
    text, monitor = "", False
    for hive in ("user.reg", "system.reg"):
        with open(os.path.join(prefix, hive), encoding="utf-8", errors="replace") as f:
            for line in f:
                if line.startswith("["):
                    monitor = bool(WINE_MONITOR.match(line))
                if monitor or line.startswith(("#time=", '"DriverDateData"=')):
                    continue
                text += re.sub(r"^(\[.*\]) \d+$", r"\1", line)
    return text


def settle_wine(run):
    """Until the Wine server has ended and written its registry out."""
    subprocess.run(["sh", "-c", 'export WINEPREFIX="${DUVIX_WINEPREFIX:-%s}"; wineserver -w'
                    % wine_prefix(run)], check=True, timeout=120)


def wine_prefix(run):
    with open(run) as f:
        return re.search(r'DUVIX_WINEPREFIX:-([^}"]*)', f.read()).group(1)


def main(exe, helper_exe, run, artifacts):
    prefix = wine_prefix(run)
    helper = [run, helper_exe]
    with tempfile.TemporaryDirectory(prefix="duvix-win-") as work:
        exe_dir = os.path.join(work, "program")
        os.mkdir(exe_dir)
        exe = shutil.copy2(exe, exe_dir)
        red = os.path.join(work, "red.bmp")
        blue = os.path.join(work, "wide blue.jpg")
        with Desktop(artifacts) as d:
            # The pictures, written by a Windows program.
            d.run(*helper, "picture", windows_path(red), "400", "300", "e01010")
            d.run(*helper, "picture", windows_path(blue), "2400", "1000", "1030e0")
            settle_wine(run)
            before = (listing(exe_dir), listing(os.path.join(prefix, "drive_c")),
                      registry(prefix))
            proc, wid, client = start_duvix(d, [run, exe], work)
            cx, cy, cw, ch, bar = client
            x, y, w = cx, cy - bar, cw
            shot = d.wait_settled("windows-startup")
            assert w == d.width, "not maximised: width %d" % w
            items = menu_items(shot, x, y, min(w, 600), bar)
            print("menu items at", items)
            assert len(items) == 3, "expected three menu items, found %r" % items

            # "Left Image": the Windows Open dialog; a typed path fills the left pane.
            d.xdotool("mousemove", str((items[1][0] + items[1][1]) // 2), str(y + bar // 2),
                      "click", "1")
            dialog = d.window_of("^Open$")
            d.wait_focused(dialog, "the Open dialog")
            d.wait_settled("windows-open-dialog")
            d.xdotool("type", "--delay", "20", windows_path(blue))
            d.xdotool("key", "Return")
            rect = expected_rect(client, 1, 2400, 1000)
            d.wait_for(lambda: close(d.shot().pixel(*centre(rect)), BLUE, 40), PATIENCE,
                       "the chosen picture never showed")
            check_placed(d.wait_settled("windows-menu-left"), BLUE, rect,
                         (cx, cy, cx + cw // 2, cy + ch), "chosen in the dialog")

            # Dragged in from another program as a file list; answered Copy, never Move.
            rect = expected_rect(client, 2, 400, 300)
            action = drag_file(d, helper, windows_path(red), cx + cw * 3 // 4, cy + ch // 3,
                               lambda: close(d.shot().pixel(*centre(rect)), RED, 40),
                               "the dropped picture never showed")
            assert action == COPY, "the drop was answered %d" % action
            assert os.path.exists(red), "the dropped file is gone"
            check_placed(d.wait_settled("windows-dropped-right"), RED, rect,
                         (cx + cw // 2, cy, cx + cw, cy + ch), "dropped")

            # A double-click shows the picture alone on black; Escape brings the panes back.
            px, py = centre(rect)
            d.xdotool("mousemove", str(px), str(py), "click", "--repeat", "2", "--delay", "80",
                      "1")
            d.wait_for(lambda: close(d.shot().pixel(5, 5), BLACK, 2), PATIENCE, "no black viewer")
            d.wait_for(lambda: close(d.shot().pixel(d.width // 2, d.height // 2), RED, 40),
                       PATIENCE, "no picture in the viewer")
            d.wait_settled("windows-viewer")
            d.xdotool("key", "Escape")
            d.wait_for(lambda: close(d.shot().pixel(5, cy + 5), GREY, 2), PATIENCE,
                       "the panes did not come back")

            d.xdotool("mousemove", str((items[0][0] + items[0][1]) // 2), str(y + bar // 2),
                      "click", "1")
            code = proc.wait(PATIENCE)
            assert code == 0, "exit code %d: %s" % (code, d.output(proc))
        settle_wine(run)
        after = (listing(exe_dir), listing(os.path.join(prefix, "drive_c")), registry(prefix))
        assert before[0] == after[0], "files changed beside the program: %r" % (
            set(before[0].items()) ^ set(after[0].items()))
        changed = set(before[1].items()) ^ set(after[1].items())
        assert not changed, "files changed in the Wine user's folders: %r" % sorted(changed)
        if before[2] != after[2]:
            import difflib
            sys.exit("the registry changed:\n" + "".join(difflib.unified_diff(
                before[2].splitlines(True), after[2].splitlines(True), n=1)))
    print("ok")


if __name__ == "__main__":
    main(*sys.argv[1:5])
