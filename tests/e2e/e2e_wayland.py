"""The real program on a headless Weston through Qt's wayland platform: maximised and grey with
its menu, Exit; nothing written beside the program or in the home folder. Weston offers no input
injection, so the program is run as a screen reader runs it: through its accessibility tree."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import GREY, Session, Shot, close, listing, menu_bar_height, text_runs  # noqa: E402

PATIENCE = 60  # seconds for each awaited state: the machine may be busy
BACKGROUND = (0x20, 0x40, 0x60)  # the desktop's colour: seen only where no window is


class Weston(Session):
    def __init__(self, helper, artifacts, width=1024, height=768):
        super().__init__(["weston", "weston-screenshooter", "dbus-daemon", "gdbus"], artifacts,
                         width, height)
        self.helper, self.runtime = helper, tempfile.TemporaryDirectory(prefix="duvix-wl-")

    def _start(self):
        ini = os.path.join(self.runtime.name, "weston.ini")
        with open(ini, "w") as f:
            f.write("[core]\nidle-time=0\n[shell]\npanel-position=none\nlocking=false\n"
                    "background-color=0xff%02x%02x%02x\n" % BACKGROUND)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.env["XDG_RUNTIME_DIR"] = self.runtime.name
        self._bus()  # the accessibility bus is started through it
        socket = "duvix-%d" % os.getpid()
        weston = Session.start(self, [  # --debug enables the screenshot protocol
            "weston", "--backend=headless-backend.so", "--use-pixman", "--debug", "--idle-time=0",
            "--socket=" + socket, "--width=%d" % self.width, "--height=%d" % self.height,
            "--config=" + ini])
        self.env["WAYLAND_DISPLAY"] = socket
        self.wait_for(lambda: weston.poll() is not None or self.grab(check=False), 60,
                      "Weston did not start")
        assert weston.poll() is None, "Weston ended: " + self.output(weston)
        return self

    def start(self, argv, env=None, cwd=None):
        # Qt's accessibility bridge on, as a running screen reader turns it on. Headless Weston
        # has no seat, and Qt 6.4's Wayland text input then crashes painting any text box.
        return super().start(argv, dict(QT_QPA_PLATFORM="wayland", QT_IM_MODULE="none",
                                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", **(env or {})), cwd)

    def grab(self, check=True):
        """The whole output; without check, None while the compositor cannot take one."""
        with tempfile.TemporaryDirectory(dir=self.runtime.name) as folder:
            r = subprocess.run(["weston-screenshooter"], env=self.env, cwd=folder,
                               capture_output=True, timeout=60)
            pngs = [n for n in os.listdir(folder) if n.endswith(".png")]
            if r.returncode != 0 or len(pngs) != 1:
                assert not check, "weston-screenshooter failed: " + r.stderr.decode()
                return None
            _, size, _, rgb = subprocess.run(
                [self.helper, "pixels", os.path.join(folder, pngs[0])], capture_output=True,
                check=True).stdout.split(b"\n", 3)
            return Shot(*(int(v) for v in size.split()), rgb)

    def app(self, name):
        """The accessible application called name."""
        bus = re.search(r"'(.*)'", self.run("gdbus", "call", "--session", "--dest", "org.a11y.Bus",
                                            "--object-path", "/org/a11y/bus", "--method",
                                            "org.a11y.Bus.GetAddress").stdout).group(1)
        registry = Accessible(self.env, bus, "org.a11y.atspi.Registry",
                              "/org/a11y/atspi/accessible/root")
        found = []
        self.wait_for(lambda: found.extend(a for a in registry.children() if a.name() == name)
                      or found, PATIENCE, "no accessible application %r" % name)
        return found[0]


class Accessible:
    def __init__(self, env, bus, dest, path):
        self.env, self.bus, self.dest, self.path = env, bus, dest, path

    def call(self, method, *args):
        r = subprocess.run(["gdbus", "call", "--address", self.bus, "--dest", self.dest,
                            "--object-path", self.path, "--method", method, *args],
                           env=self.env, capture_output=True, text=True, timeout=60)
        if r.returncode != 0:
            raise RuntimeError("%s on %s: %s" % (method, self.path, r.stderr.strip()))
        return r.stdout

    def name(self):
        return re.search(r"<'(.*)'>", self.call("org.freedesktop.DBus.Properties.Get",
                                                "org.a11y.atspi.Accessible", "Name")).group(1)

    def children(self):
        return [Accessible(self.env, self.bus, dest, path) for dest, path in re.findall(
            r"\('([^']*)', (?:objectpath )?'([^']*)'\)",
            self.call("org.a11y.atspi.Accessible.GetChildren"))]

    def find(self, role, name):
        """Every descendant with that role and name, depth first."""
        hits = []
        for c in self.children():
            if c.name() == name and c.call("org.a11y.atspi.Accessible.GetRoleName").strip() \
                    == "('%s',)" % role:
                hits.append(c)
            hits += c.find(role, name)
        return hits


def menu_words(shot):
    """The top of the grey, and the words just above it."""
    top = menu_bar_height(shot, 0, 0, shot.width)
    return top, text_runs(shot, 8, 400, top - 16, top - 2)


def main(binary, helper, artifacts):
    with tempfile.TemporaryDirectory(prefix="duvix-home-") as home, \
            tempfile.TemporaryDirectory(prefix="duvix-bin-") as exe_dir:
        binary = shutil.copy2(binary, exe_dir)
        before = (listing(exe_dir), listing(home))
        with Weston(helper, artifacts) as w:
            proc = w.start([binary], env={"HOME": home, "XDG_CONFIG_HOME": home + "/.config"},
                           cwd=home)
            w.wait_for(lambda: proc.poll() is not None or len(menu_words(w.shot())[1]) == 3,
                       PATIENCE, "the window never painted grey under its three menu words")
            assert proc.poll() is None, "Duvix ended at start: %s" % w.output(proc)
            shot = w.shot("wayland-startup")
            # Maximised: no desktop left anywhere, grey down to the bottom below the menu bar.
            assert not any(close(shot.pixel(x, y), BACKGROUND, 4)
                           for x in range(0, w.width, 4) for y in range(0, w.height, 4)), \
                "the desktop shows around the window"
            top = menu_words(shot)[0]
            assert 30 <= top < 80 and close(shot.pixel(w.width // 2, w.height - 9), GREY, 2), \
                "no title and menu bar above grey reaching the bottom (%d)" % top

            exit_item = w.app("Duvix").find("menu item", "Exit")[0]
            exit_item.call("org.a11y.atspi.Action.DoAction", "0")
            code = proc.wait(PATIENCE)
            assert code == 0 and w.output(proc) == "", "exit code %d, messages: %s" % (
                code, w.output(proc))
        assert before == (listing(exe_dir), listing(home)), \
            "files changed beside the program or in the home folder"
    print("ok")


if __name__ == "__main__":
    main(*sys.argv[1:4])
