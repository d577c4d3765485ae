#!/usr/bin/python3
"""W1 side by side: opening and saving 100,000 rows x 20 columns against their peers.

    bench/xlsx/side_by_side.py BUILD_DIR [--runs N] [--rows N] [--dir DIR]

BUILD_DIR is a build with -DDDT_BUILD_BENCH=ON (make bench: build/bench). Each command runs
as a whole process, --runs times in turn with its peer; the median wall time and the median
peak resident memory (the process's own, from wait4) are printed, and each figure's ratio to
its peer:

    open      ddtable opening W1 through a headless table, nothing read
              vs the bare libzip + expat walk that counts the cells (floor_walk)
    keep      the same walk keeping 32 bytes per cell (floor_walk --keep-cells)
              vs the walk: the least any reader holding the cells adds to it
    read      open + every value of every row read by name
              vs openpyxl read_only reading every value (when python3-openpyxl is installed)
    fill+save a headless table filled by name, then saved
              vs libxlsxwriter writing the same cells (when built with libxlsxwriter-dev)

The sheet XML's size is printed too: the open's peak is compared with it. A child's peak
cannot read below this script's own resident size (Linux counts the parent's at the start of
the child): small --rows figures show that floor. Run it on a quiet machine; the ratios of
one run are steadier than the times.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

OPENPYXL_READ = r"""
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
n = 0
for row in book["Data"].iter_rows(min_row=2, values_only=True):
    for v in row:
        n += len(str(v))
print(n)
"""


def run(cmd):
    """Wall seconds and peak resident MB of one whole process; fails on a non-zero exit."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if proc.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (proc.returncode, " ".join(cmd), err))
    return wall, usage.ru_maxrss * 1024 / 1e6  # ru_maxrss is in KiB


def pair(name, ours, peer, runs):
    """Runs ours and its peer in turn; prints medians and ratios."""
    a, b = [], []
    for _ in range(runs):
        a.append(run(ours))
        if peer:
            b.append(run(peer))
    wall_a = statistics.median(x[0] for x in a)
    peak_a = statistics.median(x[1] for x in a)
    line = "%-10s %7.3f s %7.1f MB" % (name, wall_a, peak_a)
    if peer:
        wall_b = statistics.median(x[0] for x in b)
        peak_b = statistics.median(x[1] for x in b)
        line += " | peer %7.3f s %7.1f MB | ratio wall %.2f, peak %.2f" % (
            wall_b, peak_b, wall_a / wall_b, peak_a / peak_b)
    else:
        line += " | peer not available"
    print(line, flush=True)
    return peak_a


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--rows", type=int, default=100000)
    parser.add_argument("--dir", default=None, help="where W1 is written (default: a temporary one)")
    args = parser.parse_args()
    bin_dir = os.path.join(args.build, "bench", "xlsx")
    ddt = os.path.join(bin_dir, "ddt_w1")
    floor = os.path.join(bin_dir, "floor_walk")
    lxw = os.path.join(bin_dir, "xlsxwriter_w1")
    for tool in (ddt, floor):
        if not os.path.exists(tool):
            sys.exit("%s is missing: build with make bench" % tool)

    with tempfile.TemporaryDirectory(dir=args.dir) as work:
        w1 = os.path.join(work, "w1.xlsx")
        rows = str(args.rows)
        run([ddt, "fill-save", w1, rows])
        with zipfile.ZipFile(w1) as z:
            xml = z.getinfo("xl/worksheets/sheet1.xml").file_size / 1e6
        print("W1: %s rows x 20 columns, %.2f MB file, %.1f MB of sheet XML"
              % (rows, os.path.getsize(w1) / 1e6, xml))

        peak = pair("open", [ddt, "open", w1], [floor, w1], args.runs)
        print("%-10s peak / sheet XML: %.2f" % ("", peak / xml))
        # What holding the cells costs by itself: the walk keeping 32 bytes per cell.
        pair("keep", [floor, "--keep-cells", w1], [floor, w1], args.runs)
        has_openpyxl = subprocess.run(["/usr/bin/python3", "-c", "import openpyxl"],
                                      stderr=subprocess.DEVNULL).returncode == 0
        pair("read", [ddt, "read", w1],
             ["/usr/bin/python3", "-c", OPENPYXL_READ, w1] if has_openpyxl else None, args.runs)
        pair("fill+save", [ddt, "fill-save", os.path.join(work, "ours.xlsx"), rows],
             [lxw, os.path.join(work, "peer.xlsx"), rows] if os.path.exists(lxw) else None,
             args.runs)


if __name__ == "__main__":
    main()
