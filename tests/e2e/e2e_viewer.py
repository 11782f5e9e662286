"""Double-click a pane: its picture alone on a black screen; Escape brings the panes back."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (GREY, PATIENCE, Desktop, bbox, centre, close, drag_file,  # noqa: E402
                     expected_rect, start_duvix)

RED = (0xe0, 0x10, 0x10)
GREEN = (0x10, 0xe0, 0x10)
BLACK = (0, 0, 0)


def main(binary, helper, artifacts):
    with tempfile.TemporaryDirectory(prefix="duvix-e2e-") as work, Desktop(artifacts) as d:
        red = os.path.join(work, "red.bmp")
        d.run(helper, "picture", red, "400", "300", "e01010")
        _, _, client = start_duvix(d, binary, work)
        cx, cy, cw, ch, _ = client
        rect = expected_rect(client, 1, 400, 300)
        px, py = centre(rect)
        drag_file(d, helper, red, cx + cw // 4, cy + ch // 2,
                  lambda: close(d.shot().pixel(px, py), RED, 40), "the picture never showed")
        before = d.wait_settled("viewer-before")

        d.xdotool("mousemove", str(px), str(py), "click", "--repeat", "2", "--delay", "80", "1")
        vwid = d.window_of("^" + red.replace(".", "\\.") + "$")  # captioned with the full path
        d.wait_for(lambda: close(d.shot().pixel(5, 5), BLACK, 2), PATIENCE, "no black viewer")
        mx, my = d.width // 2, d.height // 2
        d.wait_for(lambda: close(d.shot().pixel(mx, my), RED, 40), PATIENCE,
                   "no picture in the viewer")
        shot = d.wait_settled("viewer-open")
        # 400 x 300 px is smaller than the screen less 2 px margins: natural size, centred.
        box = bbox(shot, RED, 0, 0, shot.width, shot.height)
        print("viewer picture at", box)
        assert box is not None, "no picture in the viewer"
        want = ((shot.width - 400) // 2 + 1, (shot.height - 300) // 2 + 1)
        assert abs(box[0] - want[0]) <= 2 and abs(box[1] - want[1]) <= 2, "not centred"
        assert abs(box[2] - box[0] + 3 - 400) <= 2 and abs(box[3] - box[1] + 3 - 300) <= 2, \
            "not natural size"
        for p in [(0, 0), (shot.width - 1, 0), (0, shot.height - 1),
                  (shot.width - 1, shot.height - 1), (shot.width // 2, 1), (1, shot.height // 2),
                  (want[0] - 5, want[1] + 100)]:
            assert close(shot.pixel(*p), BLACK, 2), "not black at %r: %r" % (p, shot.pixel(*p))

        # Restored, the viewer takes its design client size, 4680 x 3195 twips, centred.
        d.run("wmctrl", "-i", "-r", vwid, "-b", "remove,maximized_vert,maximized_horz")
        d.wait_for(lambda: d.geometry(vwid)[2] < shot.width, PATIENCE,
                   "the viewer did not restore")
        vx, vy, vw, vh = d.geometry(vwid)
        print("restored viewer", vw, vh, "at", vx, vy)
        assert (vw, vh) == (312, 213), "restored viewer %dx%d" % (vw, vh)
        assert abs(vx + vw / 2 - shot.width / 2) <= 8 and abs(vy + vh / 2 - shot.height / 2) <= 40, \
            "restored viewer not centred"

        d.xdotool("key", "Escape")
        d.wait_for(lambda: close(d.shot().pixel(5, cy + 5), GREY, 2), PATIENCE,
                   "the panes did not come back")
        after = d.wait_settled("viewer-closed")
        same = sum(before.pixel(i, j) == after.pixel(i, j)
                   for i in range(0, after.width, 13) for j in range(cy, after.height, 13))
        total = len(range(0, after.width, 13)) * len(range(cy, after.height, 13))
        assert same / total > 0.999, "the comparison window changed (%.4f)" % (same / total)
        # It takes input again: a second double-click opens the viewer once more.
        d.xdotool("mousemove", str(px), str(py), "click", "--repeat", "2", "--delay", "80", "1")
        d.wait_for(lambda: close(d.shot().pixel(5, 5), BLACK, 2), PATIENCE,
                   "no viewer the second time")
        d.xdotool("mousemove", "5", "5", "click", "--repeat", "2", "--delay", "80", "1")
        d.wait_for(lambda: close(d.shot().pixel(5, cy + 5), GREY, 2), PATIENCE,
                   "margin double-click did not close")

        # A double-click at once after a 96 MP load, while the viewer's copy is being prepared.
        big = os.path.join(work, "big.jpg")
        d.run(helper, "picture", big, "12000", "8000", "10e010", timeout=120)
        px, py = centre(expected_rect(client, 1, 12000, 8000))
        drag_file(d, helper, big, cx + cw // 4, cy + ch // 2,
                  lambda: close(d.shot().pixel(px, py), GREEN, 40), "the 96 MP picture never showed")
        d.xdotool("mousemove", str(px), str(py), "click", "--repeat", "2", "--delay", "80", "1")
        d.wait_for(lambda: close(d.shot().pixel(5, 5), BLACK, 2) and
                   close(d.shot().pixel(mx, my), GREEN, 40), PATIENCE, "no 96 MP picture in the viewer")
        d.xdotool("key", "Escape")
    print("ok")


if __name__ == "__main__":
    main(*sys.argv[1:4])
