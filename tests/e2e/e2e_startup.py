"""Start the real program on a desktop, look at it, click "Exit"."""
import os
import shutil
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (GREY, PATIENCE, Desktop, close, listing, menu_bar_height,  # noqa: E402
                     menu_items)

ORANGE = (0xf0, 0x80, 0x10)


def write_bmp(path, width, height, rgb):
    """A solid 24-bit BMP."""
    row = bytes((rgb[2], rgb[1], rgb[0])) * width
    row += b"\0" * (-len(row) % 4)
    pixels = row * height
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835,
                            0, 0))
        f.write(pixels)


def main(binary, artifacts):
    with tempfile.TemporaryDirectory(prefix="duvix-home-") as home, \
            tempfile.TemporaryDirectory(prefix="duvix-bin-") as exe_dir, \
            tempfile.TemporaryDirectory(prefix="duvix-pictures-") as pictures:
        # A folder of its own, so nothing else writes beside the executable meanwhile.
        binary = shutil.copy2(binary, exe_dir)
        picture = os.path.join(pictures, "orange.bmp")
        write_bmp(picture, 200, 100, ORANGE)
        before = (listing(exe_dir), listing(home))
        with Desktop(artifacts) as d:
            t0 = time.time()
            # Switches the toolkit would take (another caption, right-to-left) are not read.
            proc = d.start([binary, "-qwindowtitle", "Other", "-reverse"],
                           env={"HOME": home, "XDG_CONFIG_HOME": home + "/.config"}, cwd=home)
            wid = d.window_of("^Duvix$")
            d.wait_maximised(wid)
            x, y, w, h = d.geometry(wid)
            d.wait_for(lambda: close(d.shot().pixel(x + w // 2, y + h // 2), GREY, 2),
                       PATIENCE, "the window never painted grey")
            print("window painted %.0f ms after start" % ((time.time() - t0) * 1000))
            # The menu bar follows the first paint.
            d.wait_for(lambda: menu_bar_height(d.shot(), x, y, w) > 0, 10,
                       "the menu bar never showed")
            shot = d.wait_settled("startup")
            # Maximised: as wide as the screen, reaching the bottom of it.
            assert w == d.width, "not maximised: width %d" % w
            assert y + h == d.height, "not maximised: bottom %d" % (y + h)
            bar = menu_bar_height(shot, x, y, w)
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
            assert widths[0] < widths[1] <= widths[2] + 3, \
                "item widths do not read Exit, Left Image, Right Image"
            # A picture chosen in the dialog, as a person would: the dialog leaves no trace.
            lx = (items[1][0] + items[1][1]) // 2
            d.xdotool("mousemove", str(lx), str(y + bar // 2), "click", "1")
            d.wait_focused(d.window_of("^Open$"), "the Open dialog")
            d.xdotool("type", "--delay", "5", picture)
            d.xdotool("key", "Return")
            # 200 x 100 px is smaller than the left box: natural size, centred in the left half.
            px, py = x + 2 + (w - 6) // 4, y + bar + (h - bar) // 2
            d.wait_for(lambda: close(d.shot().pixel(px, py), ORANGE, 20), 10,
                       "the chosen picture never showed")
            d.wait_settled("startup-picture")
            # One click on "Exit" ends the program at once with code 0.
            ex = (items[0][0] + items[0][1]) // 2
            d.xdotool("mousemove", str(ex), str(y + bar // 2), "click", "1")
            code = proc.wait(PATIENCE)
            assert code == 0, "exit code %d: %s" % (code, d.output(proc))
        after = (listing(exe_dir), listing(home))
        assert before[0] == after[0], "files changed next to the executable"
        assert before[1] == after[1], "files changed in the home folder: %r" % (
            set(after[1]) ^ set(before[1]))
    print("ok")


def restore(binary, artifacts):
    """Restoring gives the design client size, centred."""
    with tempfile.TemporaryDirectory(prefix="duvix-home-") as home, Desktop(artifacts) as d:
        proc = d.start([binary], env={"HOME": home}, cwd=home)
        wid = d.window_of("^Duvix$")
        d.wait_maximised(wid)
        d.run("wmctrl", "-i", "-r", wid, "-b", "remove,maximized_vert,maximized_horz")
        d.wait_for(lambda: d.geometry(wid)[2] < d.width, PATIENCE,
                   "the window did not restore")
        shot = d.wait_settled("restored")
        x, y, w, h = d.geometry(wid)
        bar = menu_bar_height(shot, x, y, w)
        print("restored client", w, h - bar, "at", x, y)
        assert (w, h - bar) == (564, 377), "restored client area %dx%d" % (w, h - bar)
        assert abs((x + w / 2) - d.width / 2) <= 8, "not centred horizontally"
        assert abs((y + h / 2) - d.height / 2) <= 40, "not centred vertically"
        d.run("wmctrl", "-i", "-c", wid)  # the close box
        assert proc.wait(PATIENCE) == 0
    print("ok")


if __name__ == "__main__":
    binary, artifacts, which = sys.argv[1], sys.argv[2], sys.argv[3]
    {"startup": main, "restore": restore}[which](binary, artifacts)
