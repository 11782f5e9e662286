"""Start-up to first paint: Duvix against a bare Qt window, alternating, median of 10 each.

Usage: python3 bench/run_startup.py BUILD_DIR [runs]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import Desktop  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    probe = os.path.join(build, "bench", "probe_first_paint")
    programs = {"duvix": os.path.join(build, "duvix"),
                "bare Qt window": os.path.join(build, "bench", "bench_bare_window")}
    times = {k: [] for k in programs}
    with tempfile.TemporaryDirectory(prefix="duvix-bench-") as shots, Desktop(shots) as d:
        for i in range(runs + 1):
            for name, exe in programs.items():
                out = d.run(probe, "808080", exe, check=True).stdout.strip()
                if i > 0:  # the first round warms the caches
                    times[name].append(float(out))
                time.sleep(0.3)
    base = statistics.median(times["bare Qt window"])
    print("| program | median ms | min ms | ratio to bare |")
    print("| --- | --- | --- | --- |")
    for name, t in times.items():
        m = statistics.median(t)
        print("| %s | %.0f | %.0f | %.2f |" % (name, m, min(t), m / base))


if __name__ == "__main__":
    main()
