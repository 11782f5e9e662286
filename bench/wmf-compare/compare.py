#!/usr/bin/env python3
"""Metafiles drawn by duvix-picinfo and by LibreOffice Draw, compared by structural similarity.

Not part of the test run: a second opinion on the metafile player, measured by hand.

  python3 bench/wmf-compare/compare.py --picinfo build/tools/duvix-picinfo --out /tmp/wmf-compare \\
      [--label after] FILE.wmf...

Each file is copied to OUT/in as folder_name.wmf. For each: our picture (duvix-picinfo --png, composited on white), LibreOffice's (soffice
--convert-to png puts it on an A4 page; --convert-to svg gives its bounding box, which crops it),
both brought to the same size (ours, fitted into 256 x 256) and compared in grey by SSIM over
7 x 7 windows. Prints one line per file and the median, the count at 0.9 or more and below 0.6.
Needs soffice (libreoffice-draw-nogui) and ImageMagick's convert; nothing else.
"""
import argparse
import os
import re
import statistics
import subprocess
import sys

A4 = (21000.0, 29700.0)  # 1/100 mm
SIDE = 256


def run(*args, **kw):
    return subprocess.run(args, check=True, capture_output=True, **kw)


def gather(files, out):
    """Copies the files under names of their own (folder_name.wmf): corpora repeat file names."""
    inputs = os.path.join(out, "in")
    os.makedirs(inputs, exist_ok=True)
    copies = []
    for f in files:
        copy = os.path.join(inputs, "%s_%s" % (os.path.basename(os.path.dirname(os.path.abspath(f))),
                                              os.path.basename(f)))
        with open(f, "rb") as src, open(copy, "wb") as dst:
            dst.write(src.read())
        copies.append(copy)
    return copies


def libreoffice(files, out):
    lo = os.path.join(out, "lo")
    os.makedirs(lo, exist_ok=True)
    todo = [f for f in files if not os.path.exists(os.path.join(lo, stem(f) + ".svg"))]
    profile = "-env:UserInstallation=file://" + os.path.join(out, "lo-profile")
    for kind in ("png", "svg"):
        if todo:
            subprocess.run(["soffice", profile, "--headless", "--convert-to", kind, "--outdir", lo]
                           + todo, capture_output=True, timeout=1200)
    return lo


def stem(path):
    return os.path.splitext(os.path.basename(path))[0]


def bounding_box(svg):
    text = open(svg, encoding="utf-8", errors="replace").read()
    m = re.search(r'class="BoundingBox"[^>]*x="(-?\d+)" y="(-?\d+)" width="(\d+)" height="(\d+)"',
                  text)
    return tuple(int(v) for v in m.groups()) if m else None


def grey(png, crop, size):
    args = ["convert", png, "-background", "white", "-alpha", "remove", "-alpha", "off"]
    if crop:
        args += ["-crop", crop, "+repage"]
    args += ["-filter", "box", "-resize", "%dx%d!" % size, "-colorspace", "gray", "-depth", "8",
             "gray:-"]
    return run(*args).stdout


def png_size(png):
    w, h = run("identify", "-format", "%w %h", png).stdout.split()
    return int(w), int(h)


def ssim(a, b, w, h, win=7):
    """Mean SSIM over all win x win windows (uniform weights), as skimage computes it."""
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    if w < win or h < win:
        return 1.0 if a == b else 0.0

    def integral(values):
        out = [[0.0] * (w + 1) for _ in range(h + 1)]
        for y in range(h):
            row, above, cur = values[y * w:(y + 1) * w], out[y], out[y + 1]
            run_sum = 0.0
            for x in range(w):
                run_sum += row[x]
                cur[x + 1] = above[x + 1] + run_sum
        return out

    sa, sb = integral(a), integral(b)
    saa = integral([v * v for v in a])
    sbb = integral([v * v for v in b])
    sab = integral([x * y for x, y in zip(a, b)])
    n = win * win
    total, count = 0.0, 0
    for y in range(h - win + 1):
        for x in range(w - win + 1):
            def box(s):
                return s[y + win][x + win] - s[y][x + win] - s[y + win][x] + s[y][x]
            ma, mb = box(sa) / n, box(sb) / n
            va = (box(saa) - n * ma * ma) / (n - 1)
            vb = (box(sbb) - n * mb * mb) / (n - 1)
            cov = (box(sab) - n * ma * mb) / (n - 1)
            total += ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2))
            count += 1
    return total / count


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--picinfo", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--label", default="ours")
    ap.add_argument("files", nargs="+")
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    files = gather(args.files, args.out)
    lo = libreoffice(files, args.out)
    scores = []
    for f in files:
        name = stem(f)
        ours = os.path.join(args.out, "%s-%s.png" % (name, args.label))
        if subprocess.run([args.picinfo, "--png", ours, f], capture_output=True).returncode != 0:
            print("%-40s ours: not drawn" % name)
            continue
        box = bounding_box(os.path.join(lo, name + ".svg"))
        lo_png = os.path.join(lo, name + ".png")
        if not box or not os.path.exists(lo_png):
            print("%-40s LibreOffice: not drawn" % name)
            continue
        pw, ph = png_size(lo_png)
        x, y, bw, bh = box
        crop = "%dx%d+%d+%d" % (max(1, round(bw * pw / A4[0])), max(1, round(bh * ph / A4[1])),
                                round(x * pw / A4[0]), round(y * ph / A4[1]))
        theirs = os.path.join(args.out, "%s-libreoffice.png" % name)
        run("convert", lo_png, "-crop", crop, "+repage", theirs)
        w, h = png_size(ours)
        scale = min(1.0, SIDE / max(w, h))
        size = (max(8, round(w * scale)), max(8, round(h * scale)))
        score = ssim(list(grey(ours, None, size)), list(grey(theirs, None, size)), *size)
        scores.append(score)
        print("%-40s %.3f" % (name, score))
    if scores:
        print("files %d  median %.3f  >=0.9: %d  <0.6: %d" % (
            len(scores), statistics.median(scores), sum(s >= 0.9 for s in scores),
            sum(s < 0.6 for s in scores)))


if __name__ == "__main__":
    sys.exit(main())
