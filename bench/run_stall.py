"""How long the comparison window stops answering after a pane load's default pointer (the
longest gap between two turns of its event loop over the next 2 s), and the peak memory once the
viewer's copies are prepared, for big pictures; each case in two builds side by side, in one run.

Usage: python3 bench/run_stall.py BUILD_DIR BEFORE_BUILD_DIR [rounds]

BEFORE_BUILD_DIR is another build with bench/bench_stall.cpp in it (e.g. an older commit with
this one file copied in). The pictures come from bench_load --write. Prints a markdown table:
median stall over the rounds, the largest peak.
"""
import os
import re
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import Desktop  # noqa: E402

CASES = [("JPEG 96 MP", ["96mp.jpg"]), ("JPEG 24 MP progressive", ["24mp-progressive.jpg"]),
         ("BMP 24 MP", ["24mp.bmp"]), ("GIF 12 MP", ["12mp.gif"]),
         ("WMF 50k polygons", ["large.wmf"]), ("two JPEG 96 MP", ["96mp.jpg", "96mp-2.jpg"])]


def run(d, build, files):
    out = d.run(os.path.join(build, "bench", "bench_stall"), *files, timeout=120).stdout
    m = re.search(r"stall_ms=([\d.]+) copy_ready_ms=(-?[\d.]+) peak_mb=([\d.]+)", out)
    assert m, "no result from %s: %r" % (build, out)
    return [float(v) for v in m.groups()]


def main():
    after, before = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    with tempfile.TemporaryDirectory(prefix="duvix-stall-") as work, Desktop(work) as d:
        pics = os.path.join(work, "pictures")
        d.run(os.path.join(after, "bench", "bench_load"), "--write", pics, timeout=600)
        with open(os.path.join(pics, "96mp.jpg"), "rb") as src, \
                open(os.path.join(pics, "96mp-2.jpg"), "wb") as dst:
            dst.write(src.read())
        print("| picture | stall ms before | stall ms after | copy ready ms before | "
              "copy ready ms after | peak MB before | peak MB after |")
        print("| --- | --- | --- | --- | --- | --- | --- |")
        for name, files in CASES:
            paths = [os.path.join(pics, f) for f in files]
            got = {"before": [], "after": []}
            for _ in range(rounds):  # alternated, so a busy machine hurts both alike
                for key, build in (("before", before), ("after", after)):
                    got[key].append(run(d, build, paths))
            med = {k: [statistics.median(r[i] for r in v) for i in range(2)] +
                   [max(r[2] for r in v)] for k, v in got.items()}
            print("| %s | %.0f | %.0f | %.0f | %.0f | %.0f | %.0f |" % (
                name, med["before"][0], med["after"][0], med["before"][1], med["after"][1],
                med["before"][2], med["after"][2]), flush=True)


if __name__ == "__main__":
    main()
