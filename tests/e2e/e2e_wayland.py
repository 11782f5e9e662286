"""The real program on a headless Weston compositor through Qt's wayland platform.

Weston has no input injection: menus and the file dialog are run through the accessibility
bus, as a screen reader runs them; drops, keys and double-clicks (so the viewer) stay tested
on X11 only.
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import GREY, close, listing, text_runs  # noqa: E402
from wayland import BACKGROUND, Weston  # noqa: E402

PATIENCE = 60  # seconds for each awaited state: the machine may be busy
RED = (255, 0, 0)


def grey_extent(shot):
    """Top, bottom, left and right of the grey client area through the screen's middle."""
    cx, cy = shot.width // 2, shot.height // 2
    top = cy
    while top > 0 and close(shot.pixel(cx, top - 1), GREY, 2):
        top -= 1
    bottom = cy
    while bottom < shot.height - 1 and close(shot.pixel(cx, bottom + 1), GREY, 2):
        bottom += 1
    left = cx
    while left > 0 and close(shot.pixel(left - 1, cy), GREY, 2):
        left -= 1
    right = cx
    while right < shot.width - 1 and close(shot.pixel(right + 1, cy), GREY, 2):
        right += 1
    return top, bottom, left, right


def main(binary, helper, png_pixels, artifacts):
    with tempfile.TemporaryDirectory(prefix="duvix-home-") as home, \
            tempfile.TemporaryDirectory(prefix="duvix-bin-") as exe_dir, \
            tempfile.TemporaryDirectory(prefix="duvix-pics-") as pictures:
        check(binary, helper, png_pixels, artifacts, home, exe_dir, pictures)
    print("ok")


def check(binary, helper, png_pixels, artifacts, home, exe_dir, pictures):
    binary = shutil.copy2(binary, exe_dir)
    before = (listing(exe_dir), listing(home))
    with Weston(png_pixels, artifacts=artifacts) as w:
        proc = w.start([binary], env={"HOME": home, "XDG_CONFIG_HOME": home + "/.config"},
                       cwd=home)
        w.wait_for(lambda: proc.poll() is not None or close(
            w.shot().pixel(w.width // 2, w.height // 2), GREY, 2), PATIENCE,
            "the window never painted grey")
        assert proc.poll() is None, "Duvix ended at start: %s" % w.output(proc)

        def menu_shown():  # the menu bar follows the first paint
            s = w.shot()
            top, _, left, right = grey_extent(s)
            return len(text_runs(s, left, min(right, 400), top - 16, top - 2)) == 3
        w.wait_for(menu_shown, PATIENCE, "the menu bar never showed")
        shot = w.shot("wayland-startup")

        # Maximised: no desktop left anywhere, grey from edge to edge below the menu bar.
        desktop = sum(close(shot.pixel(x, y), BACKGROUND, 4)
                      for x in range(0, w.width, 4) for y in range(0, w.height, 4))
        assert desktop == 0, "the desktop shows around the window (%d samples)" % desktop
        top, bottom, left, right = grey_extent(shot)
        print("grey client area: x %d..%d, y %d..%d" % (left, right, top, bottom))
        assert left <= 8 and right >= w.width - 9, "grey does not span the screen's width"
        assert bottom >= w.height - 9, "grey does not reach the screen's bottom"
        assert 30 <= top <= 100, "no title and menu bar above the grey (%d)" % top
        grey = sum(close(shot.pixel(x, y), GREY, 2)
                   for x in range(left, right + 1, 7) for y in range(top, bottom + 1, 7))
        total = len(range(left, right + 1, 7)) * len(range(top, bottom + 1, 7))
        assert grey / total > 0.995, "client area not mid grey (%.3f)" % (grey / total)
        # The menu bar: the row just above the grey holds three words at the left.
        runs = text_runs(shot, left, min(right, 400), top - 16, top - 2)
        print("menu bar text at", runs)
        assert len(runs) == 3, "expected three menu items, found %r" % (runs,)

        # What a screen reader finds: the window, its menu, two empty panes.
        app = w.app("Duvix")
        frames = app.find("frame", "Duvix")
        assert len(frames) == 1, "no frame called Duvix"
        items = [i.name() for i in frames[0].find("menu item")]
        assert items == ["Exit", "Left Image", "Right Image"], items
        panes = [p.name() for p in frames[0].find("graphic")]
        assert panes == ["Left pane: empty", "Right pane: empty"], panes

        # "Left Image": the file dialog comes up over the window; a typed name loads.
        # The dialog offers JPEG files only.
        picture = os.path.join(pictures, "red.jpg")
        subprocess.run([helper, "picture", picture, "64", "48", "ff0000"], check=True,
                       env=dict(w.env, QT_QPA_PLATFORM="offscreen"))
        frames[0].find("menu item", "Left Image")[0].press(wait=False)
        dialogs = []
        w.wait_for(lambda: dialogs.extend(d for d in app.children() if d.role() == "dialog")
                   or dialogs, PATIENCE, "no file dialog")
        name_box = []
        w.wait_for(lambda: name_box.extend(t for t in dialogs[0].find("text")
                                           if t.name().startswith("File name")) or name_box,
                   PATIENCE, "no file name box in the dialog")
        w.shot("wayland-dialog")
        name_box[0].call("org.a11y.atspi.EditableText.SetTextContents", "'%s'" % picture)
        # The dialog is gone before Qt could answer the press.
        dialogs[0].find("push button", "Open")[0].press(wait=False)
        w.wait_for(lambda: [p.name() for p in frames[0].find("graphic")] ==
                   ["Left pane: red.jpg", "Right pane: empty"], PATIENCE,
                   "the left pane did not take the picture")
        half = (right - left) // 2
        w.wait_for(lambda: close(w.shot().pixel(left + half // 2, (top + bottom) // 2), RED, 24),
                   PATIENCE, "the left half does not show the picture")
        shot = w.shot("wayland-left-picture")
        assert close(shot.pixel(left + half + half // 2, (top + bottom) // 2), GREY, 2), \
            "the right half is not empty"

        # "Exit" ends the program at once, with code 0.
        frames[0].find("menu item", "Exit")[0].press()
        code = proc.wait(PATIENCE)
        err = w.output(proc)
        assert code == 0, "exit code %d: %s" % (code, err)
        assert err == "", "messages on the way: %s" % err
    after = (listing(exe_dir), listing(home))
    assert before[0] == after[0], "files changed next to the executable"
    # Not even the toolkit's file dialog keeps a memory of its own.
    changed = {k for k in set(after[1]) | set(before[1])
               if before[1].get(k) != after[1].get(k)}
    assert not changed, "files changed in the home folder: %r" % changed


if __name__ == "__main__":
    main(*sys.argv[1:5])
