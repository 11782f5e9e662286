"""Install the Windows package silently under Wine, start the installed program, uninstall it, and
see that nothing of it is left. Usage: e2e_win_install.py SETUP_EXE RUNNER ARTIFACTS, where RUNNER
runs a Windows program in the Wine prefix to install into."""
import os
import re
import struct
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import GREY, PATIENCE, Desktop, close  # noqa: E402

PROGRAM = r"C:\Program Files\Duvix"
SHORTCUT = "ProgramData/Microsoft/Windows/Start Menu/Programs/Duvix.lnk"
KEY = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Duvix]"
# Scratch space of Wine and of the uninstaller, which copies itself there to run.
CHURN = re.compile(r"^(users/[^/]+/(AppData/Local/)?Temp|windows/temp)(/|$)", re.I)
# The runner's search path leads to the build's own DLLs; the installed program must do without.
BARE_PATH = "@set PATH=C:\\windows\\system32;C:\\windows\r\n@%*\r\n@exit /b %ERRORLEVEL%\r\n"
# A first frame narrower than the screen: the program's own GIF reader leaves it to Qt's plugin.
GIF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "corpus", "gif",
                   "pillow", "first_frame_transparency.gif")


def files_under(top, folders=True):
    return {os.path.relpath(os.path.join(r, n), top).replace(os.sep, "/")
            for r, dirs, files in os.walk(top) for n in (dirs if folders else []) + files}


def registry(prefix):
    with open(os.path.join(prefix, "system.reg"), encoding="utf-8", errors="replace") as f:
        return f.read()


def main(setup, runner, artifacts):
    setup, runner = os.path.abspath(setup), os.path.abspath(runner)
    zipped = zipfile.ZipFile(setup.replace("-setup.exe", "-windows-x64.zip")).namelist()
    shipped = {n[len("Duvix/"):] for n in zipped if not n.endswith("/")}
    with Desktop(artifacts) as d, tempfile.TemporaryDirectory(prefix="duvix-win-") as tmp:
        def wine(*args):
            r = d.run(runner, *args, check=False, timeout=120)
            assert r.returncode == 0, "%s ended with %d: %s%s" % (args, r.returncode, r.stdout,
                                                                   r.stderr)
            return r

        c_drive = os.path.realpath(wine("winepath", "-u", "C:\\").stdout.strip())
        prefix = os.path.dirname(c_drive)
        folder = os.path.join(c_drive, "Program Files/Duvix")
        d.env["WINEPREFIX"] = prefix
        settle = lambda: d.run("wineserver", "-w", timeout=60)  # noqa: E731 registry on disk
        settle()
        assert not os.path.exists(folder), "installed already: " + folder
        before = files_under(c_drive)
        wine(setup, "/S")
        try:
            settle()
            check_installed(d, runner, wine, prefix, c_drive, folder, shipped, tmp)
        except BaseException:
            if os.path.exists(folder + "/Uninstall.exe"):  # for the next run
                d.run(runner, PROGRAM + "\\Uninstall.exe", "/S", check=False)
            raise

        # The uninstaller returns at once and goes on from a copy of itself.
        wine(PROGRAM + "\\Uninstall.exe", "/S")
        d.wait_for(lambda: not os.path.exists(folder), PATIENCE, "the install folder stayed")
        settle()
        assert not os.path.exists(os.path.join(c_drive, SHORTCUT)), "the shortcut stayed"
        assert KEY not in registry(prefix), "the uninstall key stayed"
        after = files_under(c_drive)
        churn = sorted(p for p in before ^ after if CHURN.match(p))
        if churn:
            print("Wine scratch space changed (not counted):", ", ".join(churn))
        left = sorted(p for p in before ^ after if not CHURN.match(p))
        assert not left, "drive C differs after uninstalling: %s" % left
    print("ok")


def check_installed(d, runner, wine, prefix, c_drive, folder, shipped, tmp):
    installed = files_under(folder, folders=False)
    shipped = shipped | {"Uninstall.exe"}
    assert installed == shipped, \
        "installed files differ from the zip's: %s" % sorted(installed ^ shipped)
    with open(os.path.join(c_drive, SHORTCUT), "rb") as f:
        assert (PROGRAM + "\\Duvix.exe").encode("utf-16-le") in f.read(), "shortcut target"
    reg = registry(prefix)
    assert KEY in reg, "no uninstall key in system.reg"
    entry = reg[reg.index(KEY):].split("\n\n")[0]
    quoted = lambda v: '"%s"' % v.replace("\\", "\\\\").replace('"', '\\"')  # noqa: E731
    for name, value in (("DisplayName", "Duvix"), ("DisplayVersion", "1.00"),
                        ("Publisher", "The Duvix developers"), ("InstallLocation", PROGRAM),
                        ("QuietUninstallString", '"%s\\Uninstall.exe" /S' % PROGRAM)):
        want = quoted(name) + "=" + quoted(value)
        assert want in entry, "uninstall key lacks %s:\n%s" % (want, entry)

    bat = os.path.join(tmp, "bare.bat")
    with open(bat, "w", newline="") as f:
        f.write(BARE_PATH)
    bat = "Z:" + bat.replace("/", "\\")
    pictures = {"grey.bmp": b"BM" + struct.pack("<IHHI", 58, 0, 0, 54) + struct.pack(
        "<IiiHHIIiiII", 40, 1, 1, 1, 24, 0, 4, 2835, 2835, 0, 0) + b"\x80\x80\x80\0",
        "small-frame.gif": open(GIF, "rb").read()}
    for name, data in pictures.items():
        with open(os.path.join(tmp, name), "wb") as f:
            f.write(data)
    info = wine("cmd", "/c", bat, PROGRAM + "\\duvix-picinfo.exe",
                *["Z:" + os.path.join(tmp, n).replace("/", "\\") for n in pictures])
    lines = info.stdout.replace("\r", "").splitlines()
    assert len(lines) == 2 and all("\tok\t" in line for line in lines), \
        "duvix-picinfo from the installed folder: %r %r" % (info.stdout, info.stderr)

    proc = d.start([runner, "cmd", "/c", bat, PROGRAM + "\\Duvix.exe"])
    wid = d.window_of("^Duvix$", timeout=PATIENCE * 2)
    d.wait_maximised(wid)
    x, y, w, h = d.geometry(wid)
    d.wait_for(lambda: close(d.shot().pixel(x + w // 2, y + h // 2), GREY, 2), PATIENCE,
               "the installed program never painted grey")
    d.wait_settled("win-installed")
    assert proc.poll() is None, "the runner returned before the program ended"
    d.run("wmctrl", "-i", "-c", wid)
    code = proc.wait(PATIENCE)
    assert code == 0, "the installed program ended with %d: %s" % (code, d.output(proc))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: e2e_win_install.py SETUP_EXE RUNNER ARTIFACTS")
    main(*sys.argv[1:])
