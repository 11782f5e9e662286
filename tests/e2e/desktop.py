"""A real X desktop for end-to-end tests: Xvfb, openbox, xdotool, screenshots.

Every tool it needs must be installed; a missing one fails the test.
"""
import os
import shutil
import struct
import subprocess
import tempfile
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


class Desktop:
    def __init__(self, width=1920, height=1080, artifacts=None):
        missing = [t for t in REQUIRED if shutil.which(t) is None]
        if missing:
            raise RuntimeError("missing tools for end-to-end tests: " + ", ".join(missing))
        self.width, self.height = width, height
        self.artifacts = artifacts or tempfile.mkdtemp(prefix="duvix-e2e-")
        os.makedirs(self.artifacts, exist_ok=True)
        self.procs = []

    def __enter__(self):
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0",
                                 "%dx%dx24" % (self.width, self.height), "-nolisten", "tcp"],
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
        # A session bus as on a real desktop; without one, D-Bus autolaunch writes into $HOME.
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                                "--nopidfile"], stdout=subprocess.PIPE, env=self.env)
        self.procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(wm)
        self.wait_for(lambda: self.run("wmctrl", "-m", check=False).returncode == 0, 10,
                      "openbox did not come up")
        return self

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()

    def run(self, *args, check=True, timeout=30):
        return subprocess.run(list(args), env=self.env, capture_output=True, text=True,
                              check=check, timeout=timeout)

    def start(self, argv, env=None, cwd=None):
        e = dict(self.env)
        e.update(env or {})
        p = subprocess.Popen(argv, env=e, cwd=cwd, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        self.procs.append(p)
        return p

    def xdotool(self, *args):
        return self.run("xdotool", *args).stdout.strip()

    def window_of(self, name, timeout=15):
        out = self.run("timeout", str(timeout), "xdotool", "search", "--sync", "--onlyvisible",
                       "--name", name, check=False, timeout=timeout + 5).stdout.split()
        if not out:
            raise AssertionError("no visible window named %r" % name)
        return out[0]

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

    @staticmethod
    def wait_for(predicate, timeout, message):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if predicate():
                return
            time.sleep(0.05)
        raise AssertionError(message)


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
