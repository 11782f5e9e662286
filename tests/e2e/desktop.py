"""A real X desktop for end-to-end tests: Xvfb, openbox, xdotool, screenshots, and the helpers
the end-to-end scripts share (where the panes are, what a picture covers, dragging a file).

Every tool it needs must be installed; a missing one fails the test. Every wait polls for a state
with a deadline; nothing waits a fixed time.
"""
import os
import queue
import shutil
import struct
import subprocess
import tempfile
import threading
import time
import zlib

REQUIRED = ["Xvfb", "openbox", "xdotool", "xwd", "xwininfo", "wmctrl", "dbus-daemon"]


class Shot:
    """A screenshot as rows of (r, g, b)."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def save_png(self, path):
        raw = b"".join(b"\0" + self.rgb[y * self.width * 3:(y + 1) * self.width * 3]
                       for y in range(self.height))

        def chunk(kind, data):
            c = struct.pack(">I", len(data)) + kind + data
            return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 1)))
            f.write(chunk(b"IEND", b""))


def parse_xwd(data):
    hdr = struct.unpack(">25I", data[:100])
    header_size, width, height = hdr[0], hdr[4], hdr[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = hdr[7], hdr[11], hdr[12], hdr[19]
    if bits_per_pixel not in (24, 32):
        raise RuntimeError("unexpected screen format: %d bits per pixel" % bits_per_pixel)
    step = bits_per_pixel // 8
    off = header_size + ncolors * 12
    out = bytearray(width * height * 3)
    # LSBFirst stores B G R (X); MSBFirst (X) R G B.
    idx = (2, 1, 0) if byte_order == 0 else ((0, 1, 2) if step == 3 else (1, 2, 3))
    for y in range(height):
        row = data[off + y * bytes_per_line: off + y * bytes_per_line + width * step]
        base = y * width * 3
        for c in range(3):
            out[base + c:base + width * 3:3] = row[idx[c]::step]
    return Shot(width, height, bytes(out))


GREY = (128, 128, 128)  # the comparison window's background
PATIENCE = 30  # seconds for each awaited state: a busy machine is slow, a passing run never waits
TWIPS = 15.0  # twips per pixel at 96 dpi


class Session:
    """A private display server and the programs started on it, all ended on leaving."""

    def __init__(self, required, artifacts, width, height):
        missing = [t for t in required if shutil.which(t) is None]
        if missing:
            raise RuntimeError("missing tools for end-to-end tests: " + ", ".join(missing))
        self.width, self.height = width, height
        self.artifacts = artifacts  # screenshots, kept for a look after the run
        os.makedirs(self.artifacts, exist_ok=True)
        self.procs = []

    def __enter__(self):
        try:
            return self._start()
        except BaseException:
            self.__exit__()  # a half-started desktop must not outlive the test
            raise

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        if exc and exc[0] is not None:  # a failed test shows what its programs said last
            for p in self.procs:
                if hasattr(p, "log"):
                    tail = self.output(p).splitlines()[-25:]
                    print("--- %s (%d lines shown)\n%s" % (p.log, len(tail), "\n".join(tail)))
        self._cleanup()

    def _cleanup(self):
        pass

    def run(self, *args, check=True, timeout=30):
        r = subprocess.run(list(args), env=self.env, capture_output=True, text=True,
                           timeout=timeout)
        if check and r.returncode != 0:
            raise AssertionError("%s ended with %d: %s" % (" ".join(args), r.returncode,
                                                           r.stderr.strip()))
        return r

    def start(self, argv, env=None, cwd=None, read_stdout=False):
        """Starts a program on this display. What it prints goes to a log in the artifacts (see
        output()), never to a pipe nobody reads: a program that fills one blocks mid-write and
        stops answering the desktop. With read_stdout its stdout is a pipe for the test."""
        e = dict(self.env)
        e.update(env or {})
        log = os.path.join(self.artifacts, "%s-%d-%d.log" % (
            os.path.basename(argv[0]), os.getpid(), len(self.procs)))
        with open(log, "wb") as out:
            p = subprocess.Popen(argv, env=e, cwd=cwd, stderr=out,
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
        """Polls until predicate() is true; fails with message at the deadline."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if predicate():
                return
            time.sleep(0.05)
        raise AssertionError(message)


class Desktop(Session):
    def __init__(self, artifacts, width=1920, height=1080):
        super().__init__(REQUIRED, artifacts, width, height)

    def _start(self):
        r, w = os.pipe()
        # -noreset: by default the server resets when its last client leaves, and a probe that
        # disconnects while openbox is still connecting leaves openbox on a dead display.
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0",
                                 "%dx%dx24" % (self.width, self.height), "-nolisten", "tcp",
                                 "-noreset"],
                                pass_fds=[w], stderr=subprocess.DEVNULL)
        os.close(w)
        self.procs.append(xvfb)
        num = b""
        deadline = time.time() + 20
        while not num.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(r, 16)
            if not chunk:
                break
            num += chunk
        os.close(r)
        if not num.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + num.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        # Each drag's conversation goes to the logs of both programs, for a drag that fails.
        self.env["QT_LOGGING_RULES"] = "qt.qpa.xdnd=true;qt.qpa.clipboard=true"
        # A session bus as on a real desktop; without one, D-Bus autolaunch writes into $HOME.
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                                "--nopidfile"], stdout=subprocess.PIPE, env=self.env)
        self.procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        log = os.path.join(self.artifacts, "openbox-%s.log" % num.decode().strip())
        with open(log, "w") as out:
            wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stdout=out,
                                  stderr=subprocess.STDOUT)
        self.procs.append(wm)
        self.wait_for(lambda: wm.poll() is not None or
                      self.run("wmctrl", "-m", check=False).returncode == 0,
                      PATIENCE, "openbox did not come up; see " + log)
        if wm.poll() is not None:
            raise AssertionError("openbox ended with code %d; see %s" % (wm.returncode, log))
        return self

    def active_window(self):
        return self.run("xdotool", "getactivewindow", check=False).stdout.strip()

    def wait_focused(self, wid, what, timeout=PATIENCE):
        """Until the window has the keyboard focus."""
        self.wait_for(lambda: self.active_window() == wid, timeout, what + " never took the focus")

    def wait_maximised(self, wid, timeout=PATIENCE):
        self.wait_for(lambda: self.geometry(wid)[2] == self.width, timeout,
                      "the window was never maximised")

    def wait_settled(self, name=None, timeout=PATIENCE):
        """The screen once two screenshots in a row are the same: painting has finished."""
        last = [self.shot()]

        def same():
            now = self.shot()
            settled = now.rgb == last[0].rgb
            last[0] = now
            return settled

        self.wait_for(same, timeout, "the screen never settled")
        if name:
            last[0].save_png(os.path.join(self.artifacts, name + ".png"))
        return last[0]

    def xdotool(self, *args):
        return self.run("xdotool", *args).stdout.strip()

    def window_of(self, name, timeout=PATIENCE):
        # Polled, not --sync: a window that closes while xdotool walks the tree (Wine opens and
        # drops several) makes it stop with an X error and no answer.
        found, errors = [], []

        def visible():
            r = self.run("xdotool", "search", "--onlyvisible", "--name", name, check=False)
            found[:] = r.stdout.split()
            if r.returncode and r.stderr.strip():
                errors.append(r.stderr.strip().splitlines()[-1])
            return bool(found)

        try:
            self.wait_for(visible, timeout, "")
        except AssertionError:
            raise AssertionError("no visible window named %r%s" % (
                name, "; xdotool said: " + errors[-1] if errors else "")) from None
        return found[0]

    def geometry(self, wid):
        """Client geometry of a window: x, y, width, height (root coordinates)."""
        out = self.run("xwininfo", "-id", wid).stdout
        vals = {}
        for line in out.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                if line.startswith(key + ":"):
                    vals[key] = int(line.split(":")[1])
        return (vals["Absolute upper-left X"], vals["Absolute upper-left Y"],
                vals["Width"], vals["Height"])

    def shot(self, name=None):
        for attempt in range(5):
            # xwd fails now and then while a window is being mapped or destroyed.
            r = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True)
            if r.returncode == 0:
                break
            time.sleep(0.05)
        else:
            raise RuntimeError("xwd failed: " + r.stderr.decode())
        data = r.stdout
        s = parse_xwd(data)
        if name:
            s.save_png(os.path.join(self.artifacts, name + ".png"))
        return s


class Lines:
    """The lines a process prints, read as they come, so a test can wait for one."""

    def __init__(self, stream):
        self.seen = []  # every line so far, for failure messages
        self._queue = queue.Queue()
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for raw in iter(stream.readline, b""):
            line = raw.decode(errors="replace").strip()
            self.seen.append(line)
            self._queue.put(line)
        self._queue.put(None)

    def wait_for(self, accept, timeout, message):
        """The first line that accept() takes; fails at the deadline or when the output ends."""
        deadline = time.time() + timeout
        while True:
            left = deadline - time.time()
            try:
                line = self._queue.get(timeout=max(left, 0))
            except queue.Empty:
                raise AssertionError(message) from None
            if line is None:
                raise AssertionError(message + " (the process ended)")
            if accept(line):
                return line


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
    runs, start, end, gap = [], None, None, 0
    for x in range(x0, x1):
        if any(sum(shot.pixel(x, y)) < 300 for y in range(y0, y1)):
            if start is None:
                start = x
            end, gap = x, 0
        elif start is not None:
            gap += 1
            if gap > 8:  # wider than the space inside "Left Image"
                runs.append((start, end))
                start = None
    if start is not None:
        runs.append((start, end))
    return runs


def menu_items(shot, x0, y0, width, bar_height):
    """The items of a menu bar whose top left is (x0, y0), as text runs."""
    return text_runs(shot, x0, x0 + width, y0 + 2, y0 + bar_height - 2)


def menu_bar_height(shot, x, y, w):
    """Rows between the window's top and its grey client area."""
    bar = 0
    while bar < 80 and not close(shot.pixel(x + w // 2, y + bar), GREY, 2):
        bar += 1
    return bar


def client_area(d, shot, wid):
    x, y, w, h = d.geometry(wid)
    bar = menu_bar_height(shot, x, y, w)
    return x, y + bar, w, h - bar, bar


def argv(program):
    """A program as a command line: a path, or a list that starts it (a runner and a path)."""
    return list(program) if isinstance(program, (list, tuple)) else [program]


def start_duvix(d, binary, home):
    """Starts the program with home as its home and working folder. Returns the process, its
    window and its client area once the window is maximised and painted."""
    proc = d.start(argv(binary), env={"HOME": home}, cwd=home)
    wid = d.window_of("^Duvix$")
    d.wait_maximised(wid)
    x, y, w, h = d.geometry(wid)
    d.wait_for(lambda: close(d.shot().pixel(x + w // 2, y + h // 2), GREY, 2), PATIENCE,
               "the window never painted grey")
    # The menu bar follows the first paint.
    d.wait_for(lambda: menu_bar_height(d.shot(), x, y, w) > 0, 10, "the menu bar never showed")
    return proc, wid, client_area(d, d.wait_settled(), wid)


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


def centre(rect):
    return int(rect[0] + rect[2] / 2), int(rect[1] + rect[3] / 2)


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


def drag_file(d, helper, path, tx, ty, landed=None, message="", move_only=False):
    """Press on a window of another program that drags path (or a URL), go straight to (tx, ty),
    release there once the window below has answered that it takes the files, and wait until
    landed() (the dragging program stays up meanwhile: the files are fetched from it after the
    drop). With landed None the drag is expected to be refused, and is let go after the window
    had a while to answer. Returns the action the drag ended with (0: refused)."""
    src = d.start(argv(helper) + ["drag", path] + (["move"] if move_only else []),
                  read_stdout=True)
    try:
        out = Lines(src.stdout)
        swid = d.window_of("^e2e-drag-source$")
        sx, sy, sw, sh = d.geometry(swid)
        sx, sy = sx + sw // 2, sy + sh // 2
        d.xdotool("mousemove", str(sx), str(sy))
        d.xdotool("mousedown", "1")
        out.wait_for(lambda line: line == "drag started", PATIENCE, "the drag never started")
        d.xdotool("mousemove", str(sx + 5), str(sy))
        # One jump: the target point is the only one the window is asked about, so its first
        # "yes" is about that point. Nudged by a pixel until the answer comes; and every few
        # seconds without one, out over the source and back, as a person would. Qt's X11 drag
        # source writes the list of actions it offers only after announcing the drag, so a
        # target that reads the list in between sees Move alone, and refuses it until the
        # drag enters again.
        nudge = [0]
        reentry = [time.time() + 3]

        def taken():
            if time.time() > reentry[0]:
                print("no answer yet: the drag leaves the window and comes back")
                d.xdotool("mousemove", str(sx), str(sy))
                reentry[0] = time.time() + 3
            d.xdotool("mousemove", str(tx + nudge[0]), str(ty))
            nudge[0] ^= 1
            return src_said(out, lambda line: line.startswith("action ") and line != "action 0")

        if landed is None:
            try:  # a refusal changes nothing the source could see
                d.wait_for(taken, 3, "")
            except AssertionError:
                pass
        else:
            try:
                d.wait_for(taken, PATIENCE, "")
            except AssertionError:
                d.shot("drag-not-taken")
                d.xdotool("mouseup", "1")
                raise AssertionError("the window never took the drag of %s to (%d, %d); the "
                                     "source said: %s" % (path, tx, ty, ", ".join(out.seen)))
        d.xdotool("mouseup", "1")
        line = out.wait_for(lambda line: line.startswith("drop action "), PATIENCE,
                            "the drag never ended")
        if landed is not None:
            d.wait_for(landed, PATIENCE, message)
        return int(line.split()[-1])
    finally:
        src.terminate()
        src.wait(10)


def src_said(lines, accept):
    """True when a line accept() takes has come already (without waiting)."""
    try:
        lines.wait_for(accept, 0, "")
        return True
    except AssertionError:
        return False
