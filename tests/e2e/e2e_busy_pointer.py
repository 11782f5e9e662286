"""A large picture loads while a person watches: the busy pointer is on the screen during the
load and the default pointer after it, for a drop and for a double-click that opens the viewer.
The X server's own cursor is read, not the program's idea of it."""
import os
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, centre, close, drag_file, expected_rect, start_duvix  # noqa: E402

COLOUR = (0x20, 0xa0, 0x60)
BLACK = (0, 0, 0)


class CursorWatch:
    """Every cursor the X server shows, in order, as (image hash, name) from the helper."""

    def __init__(self, d, helper):
        self.proc = d.start([helper, "watch-cursor"], read_stdout=True)
        first = self.proc.stdout.readline().decode().strip()
        if first != "ready":
            raise RuntimeError("the cursor watch did not start: " + d.output(self.proc))
        self.seen = []
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            with self.lock:
                self.seen.append(tuple(line.decode().split()))

    def mark(self):
        with self.lock:
            return len(self.seen)

    def since(self, mark):
        with self.lock:
            return list(self.seen[mark:])

    def now(self):
        with self.lock:
            return self.seen[-1] if self.seen else None


def shapes(d, helper):
    """The busy and the default pointer as this toolkit shows them on this display, each as
    (name, images): a themed cursor has a name, an animated one an image per frame."""
    got = {}
    for line in d.run(helper, "cursor-shapes", timeout=60).stdout.splitlines():
        role, *values = line.split()
        got[role] = values
    assert got.keys() == {"wait", "frames", "arrow"}, got
    return (got["wait"][1], set(got["frames"])), (got["arrow"][1], {got["arrow"][0]})


def same_shape(seen, shape):
    """Whether a cursor the watch saw, (image, name), is shape; names decide where both have one
    (only an animation's first frame has its name)."""
    image, name = seen
    return name == shape[0] if name != "-" and shape[0] != "-" else image in shape[1]


def busy_then_default(watch, mark, wait, arrow, what):
    def done():
        seen = watch.since(mark)
        return any(same_shape(c, wait) for c in seen) and same_shape(seen[-1], arrow)

    Desktop.wait_for(done, 60, "%s: busy pointer then default not seen: %r" % (
        what, watch.since(mark)))
    print(what, "pointer:", " ".join(c[1] if c[1] != "-" else c[0][-4:] for c in watch.since(mark)))


def main(binary, helper, artifacts):
    with tempfile.TemporaryDirectory(prefix="duvix-e2e-") as work, Desktop(artifacts) as d:
        wait, arrow = shapes(d, helper)
        assert wait[0] != arrow[0] and not wait[1] & arrow[1], (wait, arrow)
        # 48 MP, 144 MB: long enough to load that the pointer can be watched.
        big = os.path.join(work, "big.bmp")
        d.run(helper, "picture", big, "8000", "6000", "%02x%02x%02x" % COLOUR, timeout=120)
        _, _, client = start_duvix(d, binary, work)
        cx, cy, cw, ch, _ = client
        watch = CursorWatch(d, helper)
        d.xdotool("mousemove", str(cx + cw // 2), str(cy + ch // 2))
        d.wait_for(lambda: watch.now() is not None and same_shape(watch.now(), arrow), 10,
                   "no default pointer over the window")

        mark = watch.mark()
        rect = expected_rect(client, 1, 8000, 6000)
        px, py = centre(rect)
        drag_file(d, helper, big, cx + cw // 4, cy + ch // 2,
                  lambda: close(d.shot().pixel(px, py), COLOUR, 40), "the picture never showed")
        busy_then_default(watch, mark, wait, arrow, "drop")

        mark = watch.mark()
        d.xdotool("mousemove", str(px), str(py), "click", "--repeat", "2", "--delay", "80", "1")
        d.wait_for(lambda: close(d.shot().pixel(5, 5), BLACK, 2), 60, "no black viewer")
        busy_then_default(watch, mark, wait, arrow, "viewer")
        d.xdotool("key", "Escape")
    print("ok")


if __name__ == "__main__":
    main(*sys.argv[1:4])
