"""A private X desktop (Xvfb, openbox, xdotool, xwd) and what the end-to-end scripts share.
A missing tool fails the test; every wait polls for a state with a deadline."""
import os
import shutil
import struct
import subprocess
import threading
import time
import zlib

GREY = (128, 128, 128)  # the comparison window's background
PATIENCE = 30  # seconds for each awaited state: a busy machine is slow, a passing run never waits
TWIPS = 15.0  # twips per pixel at 96 dpi


class Shot:
    """A screenshot as rows of (r, g, b)."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def save_png(self, path):
        raw = b"".join(b"\0" + self.rgb[y * self.width * 3:(y + 1) * self.width * 3]
                       for y in range(self.height))

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data +
                    struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(
                ">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))


def parse_xwd(data):
    hdr = struct.unpack(">25I", data[:100])
    width, height, byte_order, bpp, bytes_per_line = hdr[4], hdr[5], hdr[7], hdr[11], hdr[12]
    if bpp not in (24, 32):
        raise RuntimeError("unexpected screen format: %d bits per pixel" % bpp)
    step, off = bpp // 8, hdr[0] + hdr[19] * 12
    out = bytearray(width * height * 3)
    # LSBFirst stores B G R (X); MSBFirst (X) R G B.
    idx = (2, 1, 0) if byte_order == 0 else ((0, 1, 2) if step == 3 else (1, 2, 3))
    for y in range(height):
        row = data[off + y * bytes_per_line: off + y * bytes_per_line + width * step]
        for c in range(3):
            out[y * width * 3 + c:(y + 1) * width * 3:3] = row[idx[c]::step]
    return Shot(width, height, bytes(out))


class Session:
    """A private display server and the programs started on it, all ended on leaving."""

    def __init__(self, required, artifacts, width, height):
        missing = [t for t in required if shutil.which(t) is None]
        if missing:
            raise RuntimeError("missing tools for end-to-end tests: " + ", ".join(missing))
        self.width, self.height, self.artifacts = width, height, artifacts
        os.makedirs(artifacts, exist_ok=True)
        self.procs = []

    def __enter__(self):
        try:
            return self._start()
        except BaseException:
            self.__exit__()  # a half-started desktop must not outlive the test
            raise

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        for p in self.procs if exc and exc[0] else []:  # a failure shows what programs said
            if hasattr(p, "log"):
                print("--- %s\n%s" % (p.log, "\n".join(self.output(p).splitlines()[-25:])))

    def _bus(self):
        """A session bus of its own, as on a real desktop."""
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                                "--nopidfile"], stdout=subprocess.PIPE, env=self.env)
        self.procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()

    def run(self, *args, check=True, timeout=30):
        r = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=timeout)
        if check and r.returncode != 0:
            raise AssertionError("%s ended with %d: %s" % (args, r.returncode, r.stderr))
        return r

    def start(self, argv, env=None, cwd=None, read_stdout=False):
        """Starts a program with its output in a log (see output()): a full pipe nobody reads
        would block it. With read_stdout its stdout is a pipe for the test."""
        log = os.path.join(self.artifacts, "%s-%d-%d.log" % (
            os.path.basename(argv[0]), os.getpid(), len(self.procs)))
        with open(log, "wb") as out:
            p = subprocess.Popen(argv, env=dict(self.env, **(env or {})), cwd=cwd, stderr=out,
                                 stdout=subprocess.PIPE if read_stdout else out)
        p.log = log
        self.procs.append(p)
        return p

    @staticmethod
    def output(p):
        with open(p.log, errors="replace") as f:
            return f.read()

    @staticmethod
    def wait_for(predicate, timeout, message):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if predicate():
                return
            time.sleep(0.05)
        raise AssertionError(message() if callable(message) else message)

    def shot(self, name=None):
        """The whole screen, also saved as name.png in the artifacts."""
        s = self.grab()
        if name:
            s.save_png(os.path.join(self.artifacts, name + ".png"))
        return s

    def wait_settled(self, name=None, timeout=PATIENCE):
        """The screen once two screenshots in a row are the same: painting has finished."""
        last = [self.shot()]

        def same():
            now = self.shot()
            settled, last[0] = now.rgb == last[0].rgb, now
            return settled

        self.wait_for(same, timeout, "the screen never settled")
        if name:
            last[0].save_png(os.path.join(self.artifacts, name + ".png"))
        return last[0]


class Desktop(Session):
    def __init__(self, artifacts, width=1920, height=1080):
        super().__init__(["Xvfb", "openbox", "xdotool", "xwd", "xwininfo", "wmctrl",
                          "dbus-daemon"], artifacts, width, height)

    def _start(self):
        r, w = os.pipe()
        # -noreset: by default the server resets when its last client leaves, and a probe that
        # disconnects while openbox is still connecting leaves openbox on a dead display.
        self.procs.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % (self.width, self.height),
             "-nolisten", "tcp", "-noreset"], pass_fds=[w], stderr=subprocess.DEVNULL))
        os.close(w)
        with os.fdopen(r, "rb") as f:
            num = f.readline().decode().strip()  # or nothing once Xvfb gives up
        if not num:
            raise RuntimeError("Xvfb did not start")
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
        # Each drag's conversation goes to the logs of both programs, for a drag that fails.
        self.env.update(DISPLAY=":" + num,
                        QT_LOGGING_RULES="qt.qpa.xdnd=true;qt.qpa.clipboard=true")
        self._bus()
        wm = self.start(["openbox", "--sm-disable"])
        self.wait_for(lambda: wm.poll() is not None or
                      self.run("wmctrl", "-m", check=False).returncode == 0,
                      PATIENCE, "openbox did not come up")
        assert wm.poll() is None, "openbox ended: " + self.output(wm)
        return self

    def wait_focused(self, wid, what, timeout=PATIENCE):
        self.wait_for(lambda: self.run("xdotool", "getactivewindow", check=False).stdout.strip()
                      == wid, timeout, what + " never took the focus")

    def wait_maximised(self, wid, timeout=PATIENCE):
        self.wait_for(lambda: self.geometry(wid)[2] == self.width, timeout,
                      "the window was never maximised")

    def xdotool(self, *args):
        return self.run("xdotool", *args).stdout.strip()

    def window_of(self, name, timeout=PATIENCE):
        # Polled, not --sync: a window that closes while xdotool walks the tree (Wine opens and
        # drops several) makes it stop with an X error and no answer.
        found = []
        self.wait_for(lambda: found.extend(self.run(
            "xdotool", "search", "--onlyvisible", "--name", name, check=False).stdout.split())
            or found, timeout, "no visible window named %r" % name)
        return found[0]

    def geometry(self, wid):
        """Client geometry of a window: x, y, width, height (root coordinates)."""
        vals = dict(line.strip().split(":", 1) for line in
                    self.run("xwininfo", "-id", wid).stdout.splitlines() if ":" in line)
        return tuple(int(vals[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                            "Width", "Height"))

    def grab(self):
        for _ in range(5):  # xwd fails now and then while a window is mapped or destroyed
            r = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True)
            if r.returncode == 0:
                return parse_xwd(r.stdout)
            time.sleep(0.05)
        raise RuntimeError("xwd failed: " + r.stderr.decode())


def read_lines(stream):
    """The lines a process prints, appended to the returned list as they come."""
    seen = []
    threading.Thread(target=lambda: [seen.append(raw.decode(errors="replace").strip())
                                     for raw in stream], daemon=True).start()
    return seen


def close(a, b, tol=12):
    return all(abs(x - y) <= tol for x, y in zip(a, b))


def listing(folder):
    """Every path below folder with its size and modification time."""
    result = {}
    for root, dirs, files in os.walk(folder):
        for n in dirs + files:
            p = os.path.join(root, n)
            try:
                st = os.lstat(p)
            except FileNotFoundError:
                continue
            result[os.path.relpath(p, folder)] = (st.st_size, st.st_mtime_ns)
    return result


def text_runs(shot, x0, x1, y0, y1):
    """Horizontal extents of dark text in a band of rows, left to right (screen x)."""
    runs, start, end = [], None, None
    for x in range(x0, x1):
        if any(sum(shot.pixel(x, y)) < 300 for y in range(y0, y1)):
            start, end = x if start is None else start, x
        elif start is not None and x - end > 8:  # wider than the space inside "Left Image"
            runs.append((start, end))
            start = None
    return runs + ([(start, end)] if start is not None else [])


def menu_items(shot, x0, y0, width, bar_height):
    """The items of a menu bar whose top left is (x0, y0), as text runs."""
    return text_runs(shot, x0, x0 + width, y0 + 2, y0 + bar_height - 2)


def menu_bar_height(shot, x, y, w):
    """Rows between the window's top and its grey client area."""
    bar = 0
    while bar < 80 and not close(shot.pixel(x + w // 2, y + bar), GREY, 2):
        bar += 1
    return bar


def argv(program):
    """A program as a command line: a path, or a list that starts it (a runner and a path)."""
    return list(program) if isinstance(program, (list, tuple)) else [program]


def start_duvix(d, binary, home, *args):
    """Starts the program with home as its home and working folder. Returns the process, its
    window and its client area (x, y, w, h, menu bar) once maximised, painted and settled."""
    proc = d.start(argv(binary) + list(args), cwd=home,
                   env={"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config")})
    wid = d.window_of("^Duvix$")
    d.wait_maximised(wid)
    x, y, w, h = d.geometry(wid)
    d.wait_for(lambda: (lambda s: close(s.pixel(x + w // 2, y + h // 2), GREY, 2) and
                        menu_bar_height(s, x, y, w) > 0)(d.shot()), PATIENCE,
               "the window never painted grey under its menu bar")
    bar = menu_bar_height(d.wait_settled(), x, y, w)
    return proc, wid, (x, y + bar, w, h - bar, bar)


def expected_rect(client, pane, px_w, px_h):
    """Where the panes' rule puts a picture of px_w x px_h pixels, in screen pixels."""
    cx, cy, cw, ch, _ = client
    himetric = lambda p: int(p * 2540 / 96 + 0.5)  # noqa: E731
    nw, nh = himetric(px_w) * 1440 / 2540, himetric(px_h) * 1440 / 2540
    bw, bh = (cw * TWIPS - 90) / 2, ch * TWIPS - 60
    w = min(bw, nw)
    h = w * nh / nw
    if h > bh:
        h, w = bh, bh * nw / nh
    left = (30 if pane == 1 else 60 + bw) + (bw - w) / 2
    return (cx + left / TWIPS, cy + (30 + (bh - h) / 2) / TWIPS, w / TWIPS, h / TWIPS)


def centre(rect):
    return int(rect[0] + rect[2] / 2), int(rect[1] + rect[3] / 2)


def check_placed(shot, colour, rect, region, what):
    """The picture of that colour in region (x0, y0, x1, y1) covers rect (x, y, w, h)."""
    pts = [(x, y) for y in range(region[1], region[3]) for x in range(region[0], region[2])
           if close(shot.pixel(x, y), colour, 40)]
    assert pts, "%s: the picture is not on screen" % what
    xs, ys = zip(*pts)
    got = (min(xs), min(ys), max(xs) + 1 - min(xs), max(ys) + 1 - min(ys))
    want = (rect[0] + 1, rect[1] + 1, rect[2] - 2, rect[3] - 2)  # inside the 1-px black border
    print(what, "at", got, "expected", tuple(round(v, 1) for v in want))
    # Edge rounding and the smooth scale's soft edge: within 2 px.
    assert all(abs(g - e) <= 2 for g, e in zip(got, want)), "%s misplaced" % what


def drag_file(d, helper, path, tx, ty, landed, message):
    """Drags path from a window of another program to (tx, ty), lets go once the window there
    has answered that it takes it, and waits until landed() (the source stays up meanwhile:
    the file is fetched from it after the drop). Returns the action the drag ended with."""
    src = d.start(argv(helper) + ["drag", path], read_stdout=True)
    try:
        said = read_lines(src.stdout)
        sx, sy, sw, sh = d.geometry(d.window_of("^e2e-drag-source$"))
        sx, sy = sx + sw // 2, sy + sh // 2
        d.xdotool("mousemove", str(sx), str(sy), "mousedown", "1")
        d.wait_for(lambda: "drag started" in said, PATIENCE, "the drag never started")
        d.xdotool("mousemove", str(sx + 5), str(sy))
        # One jump, so the window's first "yes" is about the target point; nudged by a pixel
        # until it comes. Qt's X11 source writes the actions it offers only after announcing
        # the drag, and a target that reads them in between sees Move alone and refuses until
        # the drag enters again: every few seconds without an answer, out and back in.
        state = [time.time() + 3, 0]  # when to go out and back in; the nudge

        def taken():
            if time.time() > state[0]:
                d.xdotool("mousemove", str(sx), str(sy))
                state[0] = time.time() + 3
            state[1] ^= 1
            d.xdotool("mousemove", str(tx + state[1]), str(ty))
            return any(line.startswith("action ") and line != "action 0" for line in said)

        d.wait_for(taken, PATIENCE, lambda: d.shot("drag-not-taken") and "the window never "
                   "took the drag of %s to (%d, %d); the source said: %s" % (path, tx, ty, said))
        d.xdotool("mouseup", "1")
        ended = lambda: [line for line in said if line.startswith("drop action ")]  # noqa: E731
        d.wait_for(ended, PATIENCE, "the drag never ended")
        d.wait_for(landed, PATIENCE, message)
        return int(ended()[0].split()[-1])
    finally:
        src.terminate()
        src.wait(10)
