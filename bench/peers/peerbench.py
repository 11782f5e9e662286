#!/usr/bin/env python3
"""peerbench: launch-to-pixels time and peak memory of image viewers under Xvfb.

Run through run.sh (which gives it a private D-Bus session). See README.md.
"""
import argparse
import csv
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.environ.get("PB_BUILD", "/tmp/peerbench-build")
IMAGES = os.environ.get("PB_IMAGES", "/tmp/peerbench-images")
WORK = os.environ.get("PB_WORK", "/tmp/peerbench-work")  # viewer HOMEs, raw results
SCREEN_W, SCREEN_H = 1920, 1080

# name: (label, width, height, shell pipeline writing the file "$OUT"; $GEN is the generator)
IMAGE_SET = {
    "tiny-64": ("JPEG 64x64 (launch overhead)", 64, 64,
                "$GEN 64 64 | cjpeg -quality 90 -outfile $OUT", "jpg"),
    "fhd": ("JPEG 1920x1080", 1920, 1080,
            "$GEN 1920 1080 | cjpeg -quality 90 -outfile $OUT", "jpg"),
    "24mp": ("JPEG 6000x4000 baseline", 6000, 4000,
             "$GEN 6000 4000 | cjpeg -quality 90 -outfile $OUT", "jpg"),
    "24mp-prog": ("JPEG 6000x4000 progressive", 6000, 4000,
                  "$GEN 6000 4000 | cjpeg -quality 90 -progressive -outfile $OUT", "jpg"),
    "96mp": ("JPEG 12000x8000 baseline", 12000, 8000,
             "$GEN 12000 8000 | cjpeg -quality 90 -outfile $OUT", "jpg"),
    "bmp-24mp": ("BMP 24-bit 6000x4000", 6000, 4000, "$GEN -b 6000 4000 > $OUT", "bmp"),
    "gif-12mp": ("GIF 4000x3000", 4000, 3000,
                 "$GEN -p 4000 3000 | /usr/bin/convert ppm:- gif:$OUT", "gif"),
}


def image_path(name):
    # Each picture sits alone in its own folder, so viewers that scan or preload
    # the folder (qimgv, geeqie, eog, ...) do no work on the other test pictures.
    return os.path.join(IMAGES, name, name + "." + IMAGE_SET[name][4])


def fitted_origin(w, h):
    s = min(1.0, SCREEN_W / w, SCREEN_H / h)
    return (SCREEN_W - round(w * s)) // 2, (SCREEN_H - round(h * s)) // 2


QIMGV_CONF = {".config/qimgv/qimgv.conf": "[General]\nfirstRun=false\nlastVerMajor=1\n"
              "lastVerMinor=0\nlastVerMicro=2\nopenInFullscreen=true\n"}

def disc_radius(w, h):
    """Radius in screen pixels of the magenta disc when the picture is fitted."""
    return 0.3 * min(w, h) * min(1.0, SCREEN_W / w, SCREEN_H / h)


# Each viewer: package (for its version), whether it runs under the window manager,
# argv for a picture, optional config files (path relative to its HOME: text), and
# optional probe_args (e.g. ["-x", "480"] to watch a picture left of the centre;
# a list, or a function of the picture's width and height giving one).
VIEWERS = {
    "feh": dict(pkg="feh", wm=True, argv=lambda p, w, h: ["feh", "-F", p]),
    "nsxiv": dict(pkg="nsxiv", wm=True, argv=lambda p, w, h: ["nsxiv", "-f", p]),
    "qimgv": dict(pkg="qimgv", wm=True, argv=lambda p, w, h: ["qimgv", p],
                  config=QIMGV_CONF),
    "geeqie": dict(pkg="geeqie", wm=True, argv=lambda p, w, h: ["geeqie", "-f", p]),
    # ImageMagick display: no full-screen mode; shrink to the screen and place the
    # window centred, without a window manager (whose title bar would push it off).
    "display": dict(pkg="imagemagick-6.q16", wm=False,
                    argv=lambda p, w, h: ["display", "-resize", f"{SCREEN_W}x{SCREEN_H}>",
                                          "-geometry", "+%d+%d" % fitted_origin(w, h), p]),
    "eog": dict(pkg="eog", wm=True, argv=lambda p, w, h: ["eog", "-f", p]),
    # ristretto puts an empty modal dialog over the screen centre while a slow
    # picture loads: watch a column left of it, still inside the disc.
    "ristretto": dict(pkg="ristretto", wm=True, argv=lambda p, w, h: ["ristretto", "-f", p],
                      probe_args=lambda w, h: ["-x", str(SCREEN_W // 2 - int(0.8 * disc_radius(w, h)))]),
    "gthumb": dict(pkg="gthumb", wm=True, argv=lambda p, w, h: ["gthumb", "-f", p]),
    # Driven by xdotool instead of a command-line path: start the viewer (maximised
    # by its saved state), open its file dialog and type the path ("drive", a shell snippet with
    # $PID and $IMG); the clock starts when "trigger" (the Enter key) has been sent.
    "qimgv-dialog": dict(
        pkg="qimgv", wm=True, start=["qimgv"],
        config=dict(QIMGV_CONF, **{".config/qimgv/savedState.conf": "[General]\nmaximizedWindow=true\n"}),
        drive="xdotool search --sync --onlyvisible --pid $PID >/dev/null; sleep 1; "
              "xdotool key ctrl+o; sleep 1; "
              "xdotool type --delay 1 \"$IMG\"; sleep 0.3",
        trigger="xdotool key --delay 0 Return"),
}


def sh(cmd, **kw):
    return subprocess.run(cmd, shell=True, check=True, **kw)


def build():
    os.makedirs(BUILD, exist_ok=True)
    for prog, libs in (("gen", "-lm"), ("probe", "-lX11")):
        src, out = os.path.join(HERE, prog + ".c"), os.path.join(BUILD, prog)
        if not os.path.exists(out) or os.path.getmtime(out) < os.path.getmtime(src):
            sh(f"cc -O2 -Wall -Wextra -o {out} {src} {libs}")


def make_images(names):
    for n in names:
        path = image_path(n)
        if os.path.exists(path):
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        tmp = path + ".part"
        env = dict(os.environ, GEN=os.path.join(BUILD, "gen"), OUT=tmp)
        print(f"generating {path}", flush=True)
        sh(IMAGE_SET[n][3], env=env)
        os.rename(tmp, path)


class XServer:
    """Xvfb (1920x1080x24) on a free display, plus openbox on demand."""

    def __init__(self):
        for d in range(90, 120):
            if not os.path.exists(f"/tmp/.X11-unix/X{d}") and not os.path.exists(f"/tmp/.X{d}-lock"):
                break
        self.display = f":{d}"
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0",
                                      f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = self.display
        for _ in range(100):
            if subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                break
            time.sleep(0.1)
        else:
            sys.exit("Xvfb did not start")
        # Services started through D-Bus (e.g. desktop portals) need the display too.
        subprocess.run(["dbus-update-activation-environment", "DISPLAY"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wm = None

    def set_wm(self, on):
        if on and not self.wm:
            self.wm = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            time.sleep(1.0)
        elif not on and self.wm:
            self.wm.terminate()
            self.wm.wait()
            self.wm = None
            time.sleep(0.5)

    def close(self):
        self.set_wm(False)
        self.xvfb.terminate()
        self.xvfb.wait()


def viewer_env(name):
    home = os.path.join(WORK, "home", name)
    for rel, text in VIEWERS[name].get("config", {}).items():
        os.makedirs(os.path.dirname(os.path.join(home, rel)), exist_ok=True)
        with open(os.path.join(home, rel), "w") as f:
            f.write(text)
    run = os.path.join(WORK, "runtime", name)
    os.makedirs(run, mode=0o700, exist_ok=True)
    env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
    env.update(HOME=home, XDG_RUNTIME_DIR=run,
               NO_AT_BRIDGE="1",            # no accessibility bus for GTK apps
               GSETTINGS_BACKEND="memory")  # no dconf service: GSettings defaults
    return env


def probe(args, env, timeout_s):
    cmd = [os.path.join(BUILD, "probe"), "-t", str(int(timeout_s * 1000))] + args
    r = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                       text=True)
    line = r.stdout.strip().splitlines()[-1] if r.stdout.strip() else "status=noprobe"
    return dict(kv.split("=", 1) for kv in line.split())


def probe_args(spec, w, h):
    a = spec.get("probe_args", [])
    return a(w, h) if callable(a) else list(a)


def probe_driven(spec, path, w, h, env, timeout_s):
    """Start the viewer, drive it with xdotool up to the last key, then probe."""
    v = subprocess.Popen(spec["start"], env=env, start_new_session=True,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        subprocess.run(["sh", "-c", spec["drive"]], env=dict(env, PID=str(v.pid), IMG=path),
                       timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return probe(probe_args(spec, w, h) + ["-p", str(v.pid), "-k", "-s", spec["trigger"]],
                     env, timeout_s)
    except subprocess.TimeoutExpired:
        return {"status": "drive-timeout"}
    finally:
        if v.poll() is None:
            os.killpg(v.pid, 9)
        v.wait()


def version(pkg):
    r = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", pkg],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return r.stdout.strip().split(":", 1)[-1] or "?"  # without the epoch


def run_viewers(xs, viewers, images, runs, timeout_s, rows):
    for v in viewers:
        spec = VIEWERS[v]
        exe = spec["start"][0] if "start" in spec else spec["argv"]("x", 1, 1)[0]
        if not shutil.which(exe):
            print(f"skip {v}: not installed", flush=True)
            continue
        xs.set_wm(spec["wm"])
        env = viewer_env(v)
        for n in images:
            _, w, h, _, _ = IMAGE_SET[n]
            for i in range(runs + 1):  # run 0 warms caches and first-run state; not kept
                if "start" in spec:
                    r = probe_driven(spec, image_path(n), w, h, env, timeout_s)
                else:
                    r = probe(probe_args(spec, w, h) + ["--"] + spec["argv"](image_path(n), w, h),
                              env, timeout_s)
                r.update(viewer=v, image=n, run=i)
                print(f"{v:10s} {n:10s} run {i}: {r.get('status')} "
                      f"full={r.get('full_ms')} ms hwm={int(r.get('hwm1_kb', 0)) // 1024} MB",
                      flush=True)
                if i > 0:
                    rows.append(r)
                if r.get("status") != "ok" and i == 0:
                    print(f"  {v} {n}: warm-up failed, skipping this picture", flush=True)
                    rows.append(r)
                    break
                time.sleep(0.3)


def djpeg_limits(images, runs):
    out = {}
    for n in images:
        if IMAGE_SET[n][4] != "jpg":
            continue
        for scale in ("1/1", "1/4", "1/8"):
            jf = os.path.join(WORK, "hf.json")
            sh(f"hyperfine -N --style none --warmup 2 --runs {max(runs, 10)} --export-json {jf} "
               f"'djpeg -scale {scale} -outfile /dev/null {image_path(n)}'",
               stdout=subprocess.DEVNULL)
            times = json.load(open(jf))["results"][0]["times"]
            out[(n, scale)] = (min(times) * 1e3, statistics.median(times) * 1e3)
            print(f"djpeg {scale} {n}: min {out[(n, scale)][0]:.1f} ms", flush=True)
    return out


def fmt(x):
    return "-" if x is None else (f"{x:.0f}" if x >= 10 else f"{x:.1f}")


def cpu_model():
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            return line.split(":", 1)[1].strip()
    return "?"


def write_report(path, rows, limits, viewers, images, runs):
    lines = ["# Image viewer peers: launch to pixels and memory", "",
             f"Measured {time.strftime('%Y-%m-%d %H:%M')} by bench/peers "
             f"(`bench/peers/run.sh`), {runs} kept runs per cell after one warm-up run; "
             f"Xvfb {SCREEN_W}x{SCREEN_H}x24, openbox, {os.cpu_count()} CPUs "
             f"({cpu_model()}).",
             "",
             "*pixels*: ms from fork() of the viewer until the picture's centre (magenta disc) "
             "and its bottom rows (cyan band) are both on screen. *first*: median ms until "
             "the centre alone showed (differs when a viewer paints in parts). *MB*: VmHWM "
             "summed over the viewer's process tree, median, read when the pixels showed / 1 s later.",
             "", "| viewer | picture | ok | pixels min | pixels median | first median | MB at pixels | MB +1 s |",
             "| --- | --- | --- | --- | --- | --- | --- | --- |"]
    for v in viewers:
        for n in images:
            rs = [r for r in rows if r["viewer"] == v and r["image"] == n]
            if not rs:
                continue
            ok = [r for r in rs if r.get("status") == "ok"]
            full = [float(r["full_ms"]) for r in ok]
            first = [float(r["first_ms"]) for r in ok]
            hwm = [int(r["hwm_kb"]) / 1024 for r in ok]
            hwm1 = [int(r["hwm1_kb"]) / 1024 for r in ok]
            med = lambda xs: statistics.median(xs) if xs else None
            bad = sorted({r.get("status") for r in rs} - {"ok"})
            okcol = f"{len(ok)}/{len(rs)}" + (f" ({', '.join(bad)})" if bad else "")
            lines.append(f"| {v} {version(VIEWERS[v]['pkg'])} | {IMAGE_SET[n][0]} | {okcol} | "
                         f"{fmt(min(full) if full else None)} | {fmt(med(full))} | {fmt(med(first))} | "
                         f"{fmt(med(hwm))} | {fmt(med(hwm1))} |")
    if limits:
        lines += ["", "## Decode limits (libjpeg-turbo djpeg to /dev/null, one core, hyperfine)", "",
                  "`-scale 1/4` and `1/8` decode straight to a smaller size (DCT scaling): the least "
                  "work a viewer can do to show the picture at screen size.", "",
                  "| picture | full min / median ms | 1/4 min / median ms | 1/8 min / median ms |",
                  "| --- | --- | --- | --- |"]
        for n in images:
            if (n, "1/1") in limits:
                cells = [f"{fmt(limits[(n, s)][0])} / {fmt(limits[(n, s)][1])}" for s in ("1/1", "1/4", "1/8")]
                lines.append(f"| {IMAGE_SET[n][0]} | " + " | ".join(cells) + " |")
    lines += ["", f"djpeg: libjpeg-turbo {version('libjpeg-turbo-progs')}.", ""]
    with open(path, "w") as f:
        f.write("\n".join(lines))
    print(f"wrote {path}")


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--runs", type=int, default=5, help="kept runs per viewer and picture")
    ap.add_argument("--viewers", default=",".join(VIEWERS))
    ap.add_argument("--images", default=",".join(IMAGE_SET))
    ap.add_argument("--timeout", type=float, default=60, help="seconds per run")
    ap.add_argument("--no-djpeg", action="store_true")
    ap.add_argument("--out", default=os.path.join(HERE, "results-peers.md"))
    a = ap.parse_args()
    viewers, images = a.viewers.split(","), a.images.split(",")
    os.makedirs(WORK, exist_ok=True)
    build()
    make_images(images)
    rows = []
    xs = XServer()
    try:
        run_viewers(xs, [v for v in viewers if v], images, a.runs, a.timeout, rows)
    finally:
        xs.close()
        raw = os.path.join(WORK, "raw.csv")
        keys = ["viewer", "image", "run", "status", "first_ms", "full_ms", "polls", "procs",
                "hwm_kb", "rss_kb", "hwm1_kb", "rss1_kb", "trigger_ms"]
        with open(raw, "w", newline="") as f:
            w = csv.DictWriter(f, keys, extrasaction="ignore")
            w.writeheader()
            w.writerows(rows)
        print(f"raw results: {raw}")
    limits = {} if a.no_djpeg else djpeg_limits(images, a.runs)
    write_report(a.out, rows, limits, [v for v in viewers if v], images, a.runs)


if __name__ == "__main__":
    main()
