"""Load pictures into the panes as a person would: drag a file from another program, and
type a path into the "Left Image" dialog. Check the pixels land fitted and centred."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (PATIENCE, Desktop, bbox, centre, check_placed, close,  # noqa: E402
                     drag_file, expected_rect, menu_items, start_duvix)

RED = (0xe0, 0x10, 0x10)
BLUE = (0x10, 0x30, 0xe0)
GREEN = (0x10, 0xc0, 0x30)
PURPLE = (0xc0, 0x10, 0xc0)
COPY = 1


def refused_drops(d, helper, work, client):
    """Drops that bring no picture, or that offer only Move, are refused: the source is told
    nothing happened (a source honouring Move would otherwise delete its file)."""
    cx, cy, cw, ch, _ = client
    purple = os.path.join(work, "purple.bmp")
    d.run(helper, "picture", purple, "300", "300", "c010c0")
    folder = os.path.join(work, "folder.jpg")
    os.mkdir(folder)
    pipe = os.path.join(work, "pipe.jpg")
    os.mkfifo(pipe)
    at = (cx + cw // 4, cy + ch // 2)
    action = drag_file(d, helper, purple, *at, move_only=True)
    assert action == 0, "a move-only drag was answered %d" % action
    assert os.path.exists(purple), "the moved picture is gone"
    for what in (folder, pipe, "https://example.org/remote.jpg"):
        action = drag_file(d, helper, what, *at)
        assert action == 0, "%s was answered %d" % (what, action)
    shot = d.shot("refused-drops")
    assert bbox(shot, PURPLE, cx, cy, cx + cw, cy + ch) is None, "a refused drop loaded a picture"
    print("refused drops: all answered 0")


def main(binary, helper, artifacts):
    with tempfile.TemporaryDirectory(prefix="duvix-e2e-") as work, Desktop(artifacts) as d:
        red = os.path.join(work, "red picture.bmp")
        blue = os.path.join(work, "wide blue.jpg")
        green = os.path.join(work, "green.bmp")
        d.run(helper, "picture", red, "400", "300", "e01010")
        d.run(helper, "picture", blue, "2400", "1000", "1030e0")
        d.run(helper, "picture", green, "300", "200", "10c030")
        proc, _, client = start_duvix(d, binary, work)
        cx, cy, cw, ch, bar = client
        x, y, w = cx, cy - bar, cw  # the window's top left and width

        refused_drops(d, helper, work, client)

        # The empty right pane's design rectangle (306 to 439 px across, 81 to 214 down) lies in
        # the left half of the maximised window: a drop there is a drop on the left half.
        assert 439 < cw // 2, "the window is too narrow for this check"
        rect = expected_rect(client, 1, 300, 200)
        drag_file(d, helper, green, cx + 372, cy + 147,
                  lambda: close(d.shot().pixel(*centre(rect)), GREEN, 40),
                  "the picture dropped on the left half never showed")
        shot = d.wait_settled("dropped-left-over-empty-right-pane")
        check_placed(shot, GREEN, rect, (cx, cy, cx + cw // 2, cy + ch), "drop on the left half")
        assert bbox(shot, GREEN, cx + cw // 2, cy, cx + cw, cy + ch) is None, \
            "the drop on the left half reached the right pane"

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
        d.wait_for(lambda: close(d.shot().pixel(*centre(rect)), BLUE, 40), PATIENCE,
                   "the chosen picture never showed")
        shot = d.wait_settled("menu-left")
        check_placed(shot, BLUE, rect, (cx, cy, cx + cw // 2, cy + ch), "menu")
        check_placed(shot, RED, expected_rect(client, 2, 400, 300),
                     (cx + cw // 2, cy, cx + cw, cy + ch), "right pane kept")
        proc.terminate()
    print("ok")


if __name__ == "__main__":
    main(*sys.argv[1:4])
