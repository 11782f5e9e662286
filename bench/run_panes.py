"""The comparison window with two big pictures on a 1920x1080 desktop: double-click to the
viewer's first paint (prepared copy against reading again, side by side), resize paints per
second, peak memory. Prints a markdown table.

Usage: python3 bench/run_panes.py BUILD_DIR LEFT RIGHT [rounds]
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import Desktop  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1])
    args = [os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])] + sys.argv[4:5]
    with tempfile.TemporaryDirectory(prefix="duvix-bench-") as shots, Desktop(shots) as d:
        out = d.run(os.path.join(build, "bench", "bench_panes"), *args, timeout=600).stdout
    print(out, end="")


if __name__ == "__main__":
    main()
