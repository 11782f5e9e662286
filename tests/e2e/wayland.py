"""A Wayland desktop for end-to-end tests: headless Weston, screenshots, AT-SPI.

Weston offers clients no input injection, so the program is driven the way a screen reader
drives it: through its accessibility tree on the AT-SPI bus. Every tool must be installed; a
missing one fails the test.
"""
import os
import re
import shutil
import subprocess
import tempfile

from desktop import Session, Shot

REQUIRED = ["weston", "weston-screenshooter", "dbus-daemon", "gdbus"]
BACKGROUND = (0x20, 0x40, 0x60)  # the desktop's colour: seen only where no window is

WESTON_INI = """[core]
idle-time=0
[shell]
panel-position=none
locking=false
background-color=0xff%02x%02x%02x
""" % BACKGROUND


class Weston(Session):
    def __init__(self, png_pixels, artifacts, width=1024, height=768):
        super().__init__(REQUIRED, artifacts, width, height)
        self.png_pixels = png_pixels
        self.runtime = self.log = None

    def _start(self):
        self.log = None
        self.runtime = tempfile.mkdtemp(prefix="duvix-wl-")
        os.chmod(self.runtime, 0o700)
        ini = os.path.join(self.runtime, "weston.ini")
        with open(ini, "w") as f:
            f.write(WESTON_INI)
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env["XDG_RUNTIME_DIR"] = self.runtime
        # A session bus of its own: the accessibility bus is started through it.
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                                "--nopidfile"], stdout=subprocess.PIPE, env=env)
        self.procs.append(bus)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        socket = "duvix-%d" % os.getpid()
        self.log = open(os.path.join(self.artifacts, "weston.log"), "w")
        # --debug enables the screenshot protocol.
        weston = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", "--use-pixman", "--debug",
             "--socket=" + socket, "--width=%d" % self.width, "--height=%d" % self.height,
             "--config=" + ini, "--idle-time=0"],
            env=env, stdout=self.log, stderr=subprocess.STDOUT)
        self.procs.append(weston)
        env["WAYLAND_DISPLAY"] = socket
        self.env = env
        self.wait_for(lambda: weston.poll() is not None or self.try_shot() is not None, 60,
                      "Weston did not start")
        if weston.poll() is not None:
            raise RuntimeError("Weston exited with %d; see weston.log" % weston.returncode)
        return self

    def _cleanup(self):
        if self.log:
            self.log.close()
        if self.runtime:
            shutil.rmtree(self.runtime, ignore_errors=True)

    def start(self, argv, env=None, cwd=None):
        e = dict(self.env, QT_QPA_PLATFORM="wayland",
                 # Qt's accessibility bridge, as a running screen reader would turn it on.
                 QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                 # Headless Weston has no seat, and Qt 6.4's Wayland text input then crashes
                 # painting any text box (a missing input device); a desktop always has one.
                 QT_IM_MODULE="none")
        e.update(env or {})
        return super().start(argv, e, cwd)

    def try_shot(self):
        """The whole output, or None while the compositor cannot take one."""
        folder = tempfile.mkdtemp(dir=self.runtime)
        try:
            r = subprocess.run(["weston-screenshooter"], env=self.env, cwd=folder,
                               capture_output=True, timeout=60)
            pngs = [n for n in os.listdir(folder) if n.endswith(".png")]
            if r.returncode != 0 or len(pngs) != 1:
                return None
            return self.read_png(os.path.join(folder, pngs[0]))
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def shot(self, name=None):
        s = self.try_shot()
        if s is None:
            raise RuntimeError("weston-screenshooter failed")
        if name:
            s.save_png(os.path.join(self.artifacts, name + ".png"))
        return s

    def read_png(self, path):
        ppm = subprocess.run([self.png_pixels, path], capture_output=True, check=True).stdout
        magic, size, _maxval, rgb = ppm.split(b"\n", 3)
        assert magic == b"P6"
        w, h = (int(v) for v in size.split())
        return Shot(w, h, rgb)

    # AT-SPI, through gdbus on the accessibility bus.

    def a11y_bus(self):
        out = subprocess.run(["gdbus", "call", "--session", "--dest", "org.a11y.Bus",
                              "--object-path", "/org/a11y/bus", "--method",
                              "org.a11y.Bus.GetAddress"],
                             env=self.env, capture_output=True, text=True, check=True).stdout
        return re.match(r"\('(.*)',\)", out.strip()).group(1)

    def app(self, name, timeout=60):
        """The accessible application called `name`."""
        bus = self.a11y_bus()
        registry = Accessible(self.env, bus, "org.a11y.atspi.Registry",
                              "/org/a11y/atspi/accessible/root")
        found = []

        def look():
            found[:] = [a for a in registry.children() if a.name() == name]
            return bool(found)
        self.wait_for(look, timeout, "no accessible application %r" % name)
        return found[0]


class Accessible:
    def __init__(self, env, bus, dest, path):
        self.env, self.bus, self.dest, self.path = env, bus, dest, path

    def call(self, method, *args):
        r = subprocess.run(["gdbus", "call", "--address", self.bus, "--dest", self.dest,
                            "--object-path", self.path, "--method", method] + list(args),
                           env=self.env, capture_output=True, text=True, timeout=60)
        if r.returncode != 0:
            raise RuntimeError("%s on %s: %s" % (method, self.path, r.stderr.strip()))
        return r.stdout.strip()

    def prop(self, name):
        return self.call("org.freedesktop.DBus.Properties.Get", "org.a11y.atspi.Accessible",
                         name)

    def name(self):
        return re.match(r"\(<'(.*)'>,\)", self.prop("Name")).group(1)

    def role(self):
        return re.match(r"\('(.*)',\)", self.call("org.a11y.atspi.Accessible.GetRoleName")).group(1)

    def children(self):
        count = int(re.search(r"\d+", self.prop("ChildCount")).group(0))
        kids = []
        for i in range(count):
            out = self.call("org.a11y.atspi.Accessible.GetChildAtIndex", str(i))
            dest, path = re.match(r"\(\('([^']*)', objectpath '([^']*)'\),\)", out).groups()
            if path != "/org/a11y/atspi/null":  # a child that went away meanwhile
                kids.append(Accessible(self.env, self.bus, dest, path))
        return kids

    # Lists and tables are not entered: their rows are many, and Qt complains of some.
    OPAQUE = ("list", "table", "tree", "tree table")

    def find(self, role, name=None):
        """Every descendant with that role (and name), depth first."""
        hits = []
        for c in self.children():
            r = c.role()
            if r == role and (name is None or c.name() == name):
                hits.append(c)
            if r not in self.OPAQUE:
                hits.extend(c.find(role, name))
        return hits

    def press(self, wait=True):
        """Runs the first action (a menu item's "Press"). Qt answers only once the action is
        done, so one that opens a modal dialog is not waited for."""
        if wait:
            return self.call("org.a11y.atspi.Action.DoAction", "0")
        return subprocess.Popen(["gdbus", "call", "--address", self.bus, "--dest", self.dest,
                                 "--object-path", self.path, "--method",
                                 "org.a11y.atspi.Action.DoAction", "0"],
                                env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
