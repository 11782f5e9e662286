"""Load pictures into the panes as a person would: drag a file from another program, and
type a path into the "Left Image" dialog. Check the pixels land fitted and centred."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (Desktop, bbox, centre, check_placed, close, drag_file,  # noqa: E402
                     expected_rect, menu_items, start_duvix)

RED = (0xe0, 0x10, 0x10)
BLUE = (0x10, 0x30, 0xe0)
GREEN = (0x10, 0xe0, 0x10)
COPY = 1


def refused_drops(d, helper, work, client):
    """Drops that bring no picture, or that offer only Move, are refused: the source is told
    nothing happened (a source honouring Move would otherwise delete its file)."""
    cx, cy, cw, ch, _ = client
    green = os.path.join(work, "green.bmp")
    d.run(helper, "picture", green, "300", "300", "10e010")
    folder = os.path.join(work, "folder.jpg")
    os.mkdir(folder)
    pipe = os.path.join(work, "pipe.jpg")
    os.mkfifo(pipe)
    at = (cx + cw // 4, cy + ch // 2)
    action = drag_file(d, helper, green, *at, move_only=True)
    assert action == 0, "a move-only drag was answered %d" % action
    assert os.path.exists(green), "the moved picture is gone"
    for what in (folder, pipe, "https://example.org/remote.jpg"):
        action = drag_file(d, helper, what, *at)
        assert action == 0, "%s was answered %d" % (what, action)
    shot = d.shot("refused-drops")
    assert bbox(shot, GREEN, cx, cy, cx + cw, cy + ch) is None, "a refused drop loaded a picture"
    print("refused drops: all answered 0")


def main(binary, helper, artifacts):
    with tempfile.TemporaryDirectory(prefix="duvix-e2e-") as work, Desktop(artifacts) as d:
        red = os.path.join(work, "red picture.bmp")
        blue = os.path.join(work, "wide blue.jpg")
        d.run(helper, "picture", red, "400", "300", "e01010")
        d.run(helper, "picture", blue, "2400", "1000", "1030e0")
        proc, _, client = start_duvix(d, binary, work)
        cx, cy, cw, ch, bar = client
        x, y, w = cx, cy - bar, cw  # the window's top left and width

        refused_drops(d, helper, work, client)

        # Drag the red picture from another program onto the right half; the source proposes
        # Move and is answered Copy.
        rect = expected_rect(client, 2, 400, 300)
        action = drag_file(d, helper, red, cx + cw * 3 // 4, cy + ch // 3,
                           lambda: close(d.shot().pixel(*centre(rect)), RED, 40),
                           "the dropped picture never showed")
        assert action == COPY, "the picture's drop was answered %d" % action
        assert os.path.exists(red)
        shot = d.wait_settled("dropped-right")
        check_placed(shot, RED, rect, (cx + cw // 2, cy, cx + cw, cy + ch), "drop")
        assert bbox(shot, RED, cx, cy, cx + cw // 2 - 5, cy + ch) is None, \
            "the drop reached the left pane"

        # "Left Image": type a path into the open dialog and press Enter.
        items = menu_items(shot, x, y, min(w, 600), bar)
        assert len(items) == 3, items
        d.xdotool("mousemove", str((items[1][0] + items[1][1]) // 2), str(y + bar // 2),
                  "click", "1")
        d.wait_focused(d.window_of("^Open$"), "the Open dialog")
        d.xdotool("type", "--delay", "5", blue)
        d.xdotool("key", "Return")
        rect = expected_rect(client, 1, 2400, 1000)
        d.wait_for(lambda: close(d.shot().pixel(*centre(rect)), BLUE, 40), 10,
                   "the chosen picture never showed")
        shot = d.wait_settled("menu-left")
        check_placed(shot, BLUE, rect, (cx, cy, cx + cw // 2, cy + ch), "menu")
        check_placed(shot, RED, expected_rect(client, 2, 400, 300),
                     (cx + cw // 2, cy, cx + cw, cy + ch), "right pane kept")
        proc.terminate()
    print("ok")


if __name__ == "__main__":
    main(*sys.argv[1:4])
