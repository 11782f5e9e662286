"""The real program on a private X desktop, along the routes a person takes.
e2e_x11.py ROUTE DUVIX HELPER ARTIFACTS, ROUTE x11 or busy_pointer."""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (GREY, PATIENCE, Desktop, centre, check_placed, close, drag_file,  # noqa: E402
                     expected_rect, listing, menu_items, read_lines,
                     start_duvix)

RED, BLUE, GREEN, BLACK = (0xe0, 0x10, 0x10), (0x10, 0x30, 0xe0), (0x20, 0xa0, 0x60), (0, 0, 0)
COPY = 1


def double_click(d, x, y):
    d.xdotool("mousemove", str(x), str(y), "click", "--repeat", "2", "--delay", "80", "1")


def x11(binary, helper, artifacts):
    """Start, a picture through the "Left Image" dialog, another dropped on the right half, the
    black viewer and back, the restored window, Exit; nothing written beside the program or in
    the home folder."""
    with tempfile.TemporaryDirectory(prefix="duvix-home-") as home, \
            tempfile.TemporaryDirectory(prefix="duvix-bin-") as exe_dir, \
            tempfile.TemporaryDirectory(prefix="duvix-pictures-") as pictures, \
            Desktop(artifacts) as d:
        binary = shutil.copy2(binary, exe_dir)  # a folder nothing else writes to meanwhile
        red, blue = os.path.join(pictures, "red picture.bmp"), os.path.join(pictures, "blue.jpg")
        d.run(helper, "picture", red, "400", "300", "e01010")
        d.run(helper, "picture", blue, "2400", "1000", "1030e0")
        before = (listing(exe_dir), listing(home))
        # Switches the toolkit would take (another caption, right-to-left) are not read.
        proc, wid, client = start_duvix(d, binary, home, "-qwindowtitle", "Other", "-reverse")
        cx, cy, cw, ch, bar = client
        shot = d.wait_settled("startup")
        assert cy + ch == d.height, "not maximised: bottom %d" % (cy + ch)
        grey = [close(shot.pixel(x, y), GREY, 2) for x in range(cx, cx + cw, 7)
                for y in range(cy, cy + ch, 7)]
        assert sum(grey) / len(grey) > 0.995, "client area not mid grey"
        items = menu_items(shot, cx, cy - bar, min(cw, 600), bar)
        assert bar >= 12 and len(items) == 3, "not three words in a menu bar: %r" % items

        d.xdotool("mousemove", str(sum(items[1]) // 2), str(cy - bar // 2), "click", "1")
        d.wait_focused(d.window_of("^Open$"), "the Open dialog")
        d.xdotool("type", "--delay", "5", blue)
        d.xdotool("key", "Return")
        left = expected_rect(client, 1, 2400, 1000)
        d.wait_for(lambda: close(d.shot().pixel(*centre(left)), BLUE, 40), PATIENCE,
                   "the picture chosen in the dialog never showed")
        # From another program, proposing Move: answered Copy, so the source keeps its file.
        right = expected_rect(client, 2, 400, 300)
        action = drag_file(d, helper, red, cx + cw * 3 // 4, cy + ch // 3,
                           lambda: close(d.shot().pixel(*centre(right)), RED, 40),
                           "the dropped picture never showed")
        assert action == COPY and os.path.exists(red), "the drop was answered %d" % action
        panes = d.wait_settled("loaded")
        check_placed(panes, BLUE, left, (cx, cy, cx + cw // 2, cy + ch), "chosen in the dialog")
        check_placed(panes, RED, right, (cx + cw // 2, cy, cx + cw, cy + ch), "dropped")

        double_click(d, *centre(right))
        d.wait_for(lambda: close(d.shot().pixel(d.width // 2, d.height // 2), RED, 40),
                   PATIENCE, "no viewer")
        shot = d.wait_settled("viewer")
        assert all(close(shot.pixel(x, y), BLACK, 2)
                   for x in (0, d.width - 1) for y in (0, d.height - 1)), "not black to the edges"
        check_placed(shot, RED, ((d.width - 400) / 2, (d.height - 300) / 2, 400, 300),
                     (0, 0, d.width, d.height), "natural size in the viewer")
        d.xdotool("key", "Escape")
        d.wait_for(lambda: close(d.shot().pixel(5, cy + 5), GREY, 2), PATIENCE,
                   "the panes did not come back")
        after = d.wait_settled("viewer-closed")
        same = [panes.pixel(x, y) == after.pixel(x, y)
                for x in range(0, d.width, 13) for y in range(cy, d.height, 13)]
        assert sum(same) / len(same) > 0.999, "the comparison window changed"

        # Restored: the design client size, centred, the pictures fitted again.
        d.run("wmctrl", "-i", "-r", wid, "-b", "remove,maximized_vert,maximized_horz")
        d.wait_for(lambda: d.geometry(wid)[2] < d.width, PATIENCE, "the window did not restore")
        x, y, w, h = d.geometry(wid)
        shot = d.wait_settled("restored")
        client = (x, y + bar, w, h - bar, bar)
        assert (w, h - bar) == (564, 377) and abs(x + w / 2 - d.width / 2) <= 8 and \
            abs(y + h / 2 - d.height / 2) <= 40, "restored to %dx%d at %d, %d" % (w, h - bar, x, y)
        check_placed(shot, RED, expected_rect(client, 2, 400, 300), (x, y, x + w, y + h),
                     "restored")

        d.xdotool("mousemove", str(x + sum(items[0]) // 2 - cx), str(y + bar // 2), "click", "1")
        code = proc.wait(PATIENCE)
        assert code == 0, "exit code %d: %s" % (code, d.output(proc))
        after = (listing(exe_dir), listing(home))
        assert before == after, "files changed beside the program or in the home folder: %r" % [
            sorted(set(b.items()) ^ set(a.items())) for b, a in zip(before, after)]


def same_shape(seen, shape):
    """Whether "HASH NAME" is shape (NAME, {HASH...}); an animation's later frames have no name."""
    image, name = seen.split()
    return name == shape[0] if "-" not in (name, shape[0]) else image in shape[1]


def busy_pointer(binary, helper, artifacts):
    """The X server's own pointer is busy during a load, and the default after it: for a drop
    and for a double-click that opens the viewer."""
    with tempfile.TemporaryDirectory(prefix="duvix-e2e-") as work, Desktop(artifacts) as d:
        shapes = {}  # as this toolkit shows them on this display
        for line in d.run(helper, "cursor-shapes", timeout=60).stdout.splitlines():
            role, name, *images = line.split()
            shapes[role] = (name, set(images))
        wait, arrow = shapes["wait"], shapes["arrow"]
        assert wait[0] != arrow[0] and not wait[1] & arrow[1], shapes
        big = os.path.join(work, "big.bmp")  # 48 MP, 144 MB: a load long enough to watch
        d.run(helper, "picture", big, "8000", "6000", "20a060", timeout=120)
        _, _, client = start_duvix(d, binary, work)
        cx, cy, cw, ch, _ = client
        seen = read_lines(d.start([helper, "watch-cursor"], read_stdout=True).stdout)
        d.xdotool("mousemove", str(cx + cw // 2), str(cy + ch // 2))
        d.wait_for(lambda: seen and same_shape(seen[-1], arrow), 10,
                   "no default pointer over the window")
        px, py = centre(expected_rect(client, 1, 8000, 6000))
        for what, act in [
                ("drop", lambda: drag_file(d, helper, big, cx + cw // 4, cy + ch // 2,
                                           lambda: close(d.shot().pixel(px, py), GREEN, 40),
                                           "the picture never showed")),
                ("viewer", lambda: double_click(d, px, py))]:
            mark = len(seen)
            act()
            d.wait_for(lambda: any(same_shape(c, wait) for c in seen[mark:]) and
                       same_shape(seen[-1], arrow), 60,
                       lambda: "%s: busy pointer then default not seen: %r" % (what, seen[mark:]))
            print(what, "pointer:", seen[mark:])


if __name__ == "__main__":
    {"x11": x11, "busy_pointer": busy_pointer}[sys.argv[1]](
        *sys.argv[2:5])
    print("ok")
