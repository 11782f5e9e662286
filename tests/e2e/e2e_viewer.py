"""Double-click a pane: its picture alone on a black screen; Escape brings the panes back."""
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, close  # noqa: E402
from e2e_loading import bbox, client_area, drag_file, expected_rect  # noqa: E402
from e2e_startup import GREY  # noqa: E402

RED = (0xe0, 0x10, 0x10)


def main(binary, helper, artifacts):
    work = tempfile.mkdtemp(prefix="duvix-e2e-")
    red = os.path.join(work, "red.bmp")
    with Desktop(artifacts=artifacts) as d:
        d.run(helper, "picture", red, "400", "300", "e01010")
        d.start([binary], env={"HOME": work}, cwd=work)
        wid = d.window_of("^Duvix$")
        x, y, w, h = d.geometry(wid)
        d.wait_for(lambda: close(d.shot().pixel(x + w // 2, y + h // 2), GREY, 2), 10, "no paint")
        client = client_area(d, d.shot(), wid)
        cx, cy, cw, ch, _ = client
        rect = expected_rect(client, 1, 400, 300)
        px, py = int(rect[0] + rect[2] / 2), int(rect[1] + rect[3] / 2)
        assert drag_file(d, helper, red, cx + cw // 4, cy + ch // 2,
                         until=lambda: close(d.shot().pixel(px, py), RED, 40)) == 1
        before = d.shot("viewer-before")

        d.xdotool("mousemove", str(px), str(py), "click", "--repeat", "2", "--delay", "80", "1")
        d.window_of("^" + red.replace(".", "\\.") + "$")  # captioned with the full path
        d.wait_for(lambda: close(d.shot().pixel(5, 5), (0, 0, 0), 2), 10, "no black viewer")
        time.sleep(0.3)
        shot = d.shot("viewer-open")
        # 400 x 300 px is smaller than the screen less 2 px margins: natural size, centred.
        box = bbox(shot, RED, 0, 0, shot.width, shot.height)
        print("viewer picture at", box)
        assert box is not None, "no picture in the viewer"
        want = ((shot.width - 400) // 2 + 1, (shot.height - 300) // 2 + 1)
        assert abs(box[0] - want[0]) <= 2 and abs(box[1] - want[1]) <= 2, "not centred"
        assert abs(box[2] - box[0] + 3 - 400) <= 2 and abs(box[3] - box[1] + 3 - 300) <= 2, "not natural size"
        for p in [(0, 0), (shot.width - 1, 0), (0, shot.height - 1), (shot.width - 1, shot.height - 1),
                  (shot.width // 2, 1), (1, shot.height // 2), (want[0] - 5, want[1] + 100)]:
            assert close(shot.pixel(*p), (0, 0, 0), 2), "not black at %r: %r" % (p, shot.pixel(*p))

        d.xdotool("key", "Escape")
        d.wait_for(lambda: close(d.shot().pixel(5, cy + 5), GREY, 2), 10, "the panes did not come back")
        time.sleep(0.3)
        after = d.shot("viewer-closed")
        same = sum(before.pixel(i, j) == after.pixel(i, j)
                   for i in range(0, after.width, 13) for j in range(cy, after.height, 13))
        total = len(range(0, after.width, 13)) * len(range(cy, after.height, 13))
        assert same / total > 0.999, "the comparison window changed (%.4f)" % (same / total)
        # It takes input again: a second double-click opens the viewer once more.
        d.xdotool("mousemove", str(px), str(py), "click", "--repeat", "2", "--delay", "80", "1")
        d.wait_for(lambda: close(d.shot().pixel(5, 5), (0, 0, 0), 2), 10, "no viewer the second time")
        d.xdotool("mousemove", "5", "5", "click", "--repeat", "2", "--delay", "80", "1")
        d.wait_for(lambda: close(d.shot().pixel(5, cy + 5), GREY, 2), 10, "margin double-click did not close")
    print("ok")


if __name__ == "__main__":
    main(*sys.argv[1:4])
