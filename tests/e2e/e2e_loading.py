"""Load pictures into the panes as a person would: drag a file from another program, and
type a path into the "Left Image" dialog. Check the pixels land fitted and centred."""
import os
import select
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, close  # noqa: E402
from e2e_startup import GREY, menu_items  # noqa: E402

TWIPS = 15.0  # twips per pixel at 96 dpi


def client_area(d, shot, wid):
    x, y, w, h = d.geometry(wid)
    bar = 0
    while bar < 80 and not close(shot.pixel(x + w // 2, y + bar), GREY, 2):
        bar += 1
    return x, y + bar, w, h - bar, bar


def expected_rect(client, pane, px_w, px_h):
    """Where the panes' rule puts a picture of px_w x px_h pixels, in screen pixels."""
    cx, cy, cw, ch, _ = client
    himetric = lambda p: int(p * 2540 / 96 + 0.5)  # noqa: E731
    nw, nh = himetric(px_w) * 1440 / 2540, himetric(px_h) * 1440 / 2540
    ratio = nw / nh
    bw, bh = (cw * TWIPS - 90) / 2, ch * TWIPS - 60
    w = bw if nw >= bw else nw
    h = w / ratio
    if h > bh:
        h, w = bh, bh * ratio
    left = (30 if pane == 1 else 60 + bw) + (bw - w) / 2
    top = 30 + (bh - h) / 2
    return (cx + left / TWIPS, cy + top / TWIPS, w / TWIPS, h / TWIPS)


def bbox(shot, colour, x0, y0, x1, y1, tol=40):
    xs, ys = [], []
    for y in range(y0, y1):
        for x in range(x0, x1):
            if close(shot.pixel(x, y), colour, tol):
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return min(xs), min(ys), max(xs), max(ys)


def check_placed(shot, colour, rect, region, what):
    box = bbox(shot, colour, *region)
    assert box is not None, "%s: the picture is not on screen" % what
    ex, ey, ew, eh = rect
    got = (box[0], box[1], box[2] + 1 - box[0], box[3] + 1 - box[1])
    want = (ex + 1, ey + 1, ew - 2, eh - 2)  # inside the picture's 1-px black border
    print(what, "at", got, "expected", tuple(round(v, 1) for v in want))
    # Edge rounding and the smooth scale's soft edge: within 2 px.
    assert all(abs(g - e) <= 2 for g, e in zip(got, want)), "%s misplaced" % what


def read_line(pipe, timeout):
    """One line from a child's output, waiting at most timeout seconds for it."""
    end = time.time() + timeout
    data = b""
    while not data.endswith(b"\n") and time.time() < end:
        ready, _, _ = select.select([pipe], [], [], max(0.0, end - time.time()))
        if not ready:
            break
        chunk = os.read(pipe.fileno(), 1)
        if not chunk:
            break
        data += chunk
    return data.decode(errors="replace").strip()


def drag_file(d, helper, what, tx, ty, move_only=False, until=None):
    """Press on a window of another program that drags what (a path or a URL), move to
    (tx, ty), release. Returns the action the drop target answered (0: refused). An accepted
    drop still fetches the file list from the source: the source stays until `until` holds."""
    src = d.start([helper, "drag", what] + (["move"] if move_only else []))
    swid = d.window_of("^e2e-drag-source$")
    sx, sy, sw, sh = d.geometry(swid)
    sx, sy = sx + sw // 2, sy + sh // 2
    d.xdotool("mousemove", str(sx), str(sy))
    d.xdotool("mousedown", "1")
    for i in range(1, 21):
        d.xdotool("mousemove", str(sx + (tx - sx) * i // 20), str(sy + (ty - sy) * i // 20))
        time.sleep(0.02)
    # Over the target, until it answers "accepted" (a refusal is no change, so give up after
    # a while): letting go earlier drops on an unanswered drag.
    end = time.time() + 4
    line = ""
    while time.time() < end:
        d.xdotool("mousemove", str(tx + int(time.time() * 10) % 2), str(ty))
        line = read_line(src.stdout, 0.3)
        if line.startswith("status ") and line != "status 0":
            break
    d.xdotool("mouseup", "1")
    while not line.startswith("drop action "):
        line = read_line(src.stdout, 15)
        if not line:
            break
    try:
        assert line.startswith("drop action "), \
            "dragging %s, the source reported %r" % (what, line)
        action = int(line.split()[-1])
        if action and until:
            d.wait_for(until, 10, "the dropped picture never showed")
    finally:
        src.terminate()
        src.wait(5)
    return action


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
    assert bbox(shot, (0x10, 0xe0, 0x10), cx, cy, cx + cw, cy + ch) is None, \
        "a refused drop loaded a picture"
    print("refused drops: all answered 0")


def main(binary, helper, artifacts):
    work = tempfile.mkdtemp(prefix="duvix-e2e-")
    red = os.path.join(work, "red picture.bmp")
    blue = os.path.join(work, "wide blue.jpg")
    with Desktop(artifacts=artifacts) as d:
        d.run(helper, "picture", red, "400", "300", "e01010")
        d.run(helper, "picture", blue, "2400", "1000", "1030e0")
        proc = d.start([binary], env={"HOME": work}, cwd=work)
        wid = d.window_of("^Duvix$")
        x, y, w, h = d.geometry(wid)
        d.wait_for(lambda: close(d.shot().pixel(x + w // 2, y + h // 2), GREY, 2), 10, "no paint")
        client = client_area(d, d.shot(), wid)
        cx, cy, cw, ch, bar = client

        refused_drops(d, helper, work, client)

        # Drag the red picture from another program onto the right half; the source proposes
        # Move and is answered Copy.
        rect = expected_rect(client, 2, 400, 300)
        action = drag_file(d, helper, red, cx + cw * 3 // 4, cy + ch // 3,
                           until=lambda: close(d.shot().pixel(int(rect[0] + rect[2] / 2),
                                                              int(rect[1] + rect[3] / 2)),
                                               (0xe0, 0x10, 0x10), 40))
        assert action == COPY, "the picture's drop was answered %d" % action
        assert os.path.exists(red)
        time.sleep(0.3)
        shot = d.shot("dropped-right")
        check_placed(shot, (0xe0, 0x10, 0x10), rect, (cx + cw // 2, cy, cx + cw, cy + ch), "drop")
        assert bbox(shot, (0xe0, 0x10, 0x10), cx, cy, cx + cw // 2 - 5, cy + ch) is None, \
            "the drop reached the left pane"

        # "Left Image": type a path into the open dialog and press Enter.
        items = menu_items(shot, x, y, min(w, 600), bar)
        assert len(items) == 3, items
        d.xdotool("mousemove", str((items[1][0] + items[1][1]) // 2), str(y + bar // 2), "click", "1")
        dwid = d.window_of("^Open$")
        time.sleep(0.5)
        d.xdotool("type", "--delay", "5", blue)
        time.sleep(0.2)
        d.xdotool("key", "Return")
        rect = expected_rect(client, 1, 2400, 1000)
        d.wait_for(lambda: close(d.shot().pixel(int(rect[0] + rect[2] / 2), int(rect[1] + rect[3] / 2)),
                                 (0x10, 0x30, 0xe0), 40), 10, "the chosen picture never showed")
        time.sleep(0.3)
        shot = d.shot("menu-left")
        check_placed(shot, (0x10, 0x30, 0xe0), rect, (cx, cy, cx + cw // 2, cy + ch), "menu")
        check_placed(shot, (0xe0, 0x10, 0x10), expected_rect(client, 2, 400, 300),
                     (cx + cw // 2, cy, cx + cw, cy + ch), "right pane kept")
        del dwid
        proc.terminate()
    shutil.rmtree(work, ignore_errors=True)
    print("ok")


if __name__ == "__main__":
    main(*sys.argv[1:4])
