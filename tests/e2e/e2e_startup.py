"""Start the real program on a desktop, look at it, click "Exit"."""
import os
import shutil
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, close, listing  # noqa: E402

GREY = (128, 128, 128)
ORANGE = (0xf0, 0x80, 0x10)


def write_bmp(path, width, height, rgb):
    """A solid 24-bit BMP."""
    row = bytes((rgb[2], rgb[1], rgb[0])) * width
    row += b"\0" * (-len(row) % 4)
    pixels = row * height
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0))
        f.write(pixels)


def menu_items(shot, x0, y0, width, bar_height):
    """Horizontal extents of the dark text runs in the menu bar, left to right."""
    cols = []
    for x in range(x0, x0 + width):
        dark = any(sum(shot.pixel(x, y)) < 300 for y in range(y0 + 2, y0 + bar_height - 2))
        cols.append(dark)
    items, start, gap = [], None, 0
    for i, d in enumerate(cols):
        if d:
            if start is None:
                start = i
            gap = 0
            end = i
        elif start is not None:
            gap += 1
            if gap > 8:  # wider than a space inside "Left Image"
                items.append((x0 + start, x0 + end))
                start = None
    if start is not None:
        items.append((x0 + start, x0 + end))
    return items


def main(binary, artifacts):
    home = tempfile.mkdtemp(prefix="duvix-home-")
    # A folder of its own, so nothing else writes beside the executable meanwhile.
    exe_dir = tempfile.mkdtemp(prefix="duvix-bin-")
    binary = shutil.copy2(binary, exe_dir)
    pictures = tempfile.mkdtemp(prefix="duvix-pictures-")
    picture = os.path.join(pictures, "orange.bmp")
    write_bmp(picture, 200, 100, ORANGE)
    before = (listing(exe_dir), listing(home))
    with Desktop(artifacts=artifacts) as d:
        t0 = time.time()
        # Switches the toolkit would take (another caption, right-to-left layout) are not read.
        proc = d.start([binary, "-qwindowtitle", "Other", "-reverse"],
                       env={"HOME": home, "XDG_CONFIG_HOME": home + "/.config"}, cwd=home)
        wid = d.window_of("^Duvix$")
        x, y, w, h = d.geometry(wid)
        d.wait_for(lambda: close(d.shot().pixel(x + w // 2, y + h // 2), GREY, 2), 10,
                   "the window never painted grey")
        print("window painted %.0f ms after start" % ((time.time() - t0) * 1000))
        shot = d.shot("startup")
        # Maximised: as wide as the screen, reaching the bottom of it.
        assert w == d.width, "not maximised: width %d" % w
        assert y + h == d.height, "not maximised: bottom %d" % (y + h)
        bar = 0
        while bar < 80 and not close(shot.pixel(x + w // 2, y + bar), GREY, 2):
            bar += 1
        assert 12 <= bar < 80, "no menu bar above the grey area (%d)" % bar
        grey = sum(close(shot.pixel(px, py), GREY, 2)
                   for px in range(x, x + w, 7) for py in range(y + bar, y + h, 7))
        total = len(range(x, x + w, 7)) * len(range(y + bar, y + h, 7))
        assert grey / total > 0.995, "client area not mid grey (%.3f)" % (grey / total)
        items = menu_items(shot, x, y, min(w, 600), bar)
        print("menu items at", items)
        assert len(items) == 3, "expected three menu items, found %r" % items
        widths = [b - a for a, b in items]
        assert items[0][0] - x < 40, "first item not at the left"
        assert widths[0] < widths[1] <= widths[2] + 3, "item widths do not read Exit, Left Image, Right Image"
        # A picture chosen in the dialog, as a person would: the dialog must leave no trace.
        lx = (items[1][0] + items[1][1]) // 2
        d.xdotool("mousemove", str(lx), str(y + bar // 2), "click", "1")
        dialog = d.window_of("^Open$")
        d.wait_for(lambda: d.xdotool("getwindowfocus") == dialog, 10, "the dialog took no focus")
        d.xdotool("type", "--delay", "5", picture)
        d.xdotool("key", "Return")
        # 200 x 100 px is smaller than the left box: natural size, centred in the left half.
        lx0, ly0 = x + 2 + (w - 6) // 4, y + bar + (h - bar) // 2
        d.wait_for(lambda: close(d.shot().pixel(lx0, ly0), ORANGE, 20), 10,
                   "the chosen picture never showed")
        d.shot("startup-picture")
        # One click on "Exit" ends the program at once with code 0.
        ex = (items[0][0] + items[0][1]) // 2
        d.xdotool("mousemove", str(ex), str(y + bar // 2), "click", "1")
        code = proc.wait(10)
        assert code == 0, "exit code %d: %s" % (code, proc.stderr.read().decode())
    after = (listing(exe_dir), listing(home))
    assert before[0] == after[0], "files changed next to the executable"
    assert before[1] == after[1], "files changed in the home folder: %r" % (
        set(after[1]) ^ set(before[1]))
    shutil.rmtree(pictures, ignore_errors=True)
    print("ok")


def restore(binary, artifacts):
    """Restoring gives the design client size, centred."""
    home = tempfile.mkdtemp(prefix="duvix-home-")
    with Desktop(artifacts=artifacts) as d:
        proc = d.start([binary], env={"HOME": home}, cwd=home)
        wid = d.window_of("^Duvix$")
        time.sleep(0.5)
        d.run("wmctrl", "-i", "-r", wid, "-b", "remove,maximized_vert,maximized_horz")
        d.wait_for(lambda: d.geometry(wid)[2] < d.width, 5, "the window did not restore")
        time.sleep(0.3)
        x, y, w, h = d.geometry(wid)
        shot = d.shot("restored")
        bar = 0
        while bar < 80 and not close(shot.pixel(x + w // 2, y + bar), GREY, 2):
            bar += 1
        print("restored client", w, h - bar, "at", x, y)
        assert (w, h - bar) == (564, 377), "restored client area %dx%d" % (w, h - bar)
        assert abs((x + w / 2) - d.width / 2) <= 8, "not centred horizontally"
        assert abs((y + h / 2) - d.height / 2) <= 40, "not centred vertically"
        d.run("wmctrl", "-i", "-c", wid)  # the close box
        assert proc.wait(10) == 0
    print("ok")


if __name__ == "__main__":
    binary, artifacts, which = sys.argv[1], sys.argv[2], sys.argv[3]
    {"startup": main, "restore": restore}[which](binary, artifacts)
