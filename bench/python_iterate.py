#!/usr/bin/python3
"""Iterating a large data sheet from Python: ddtable against openpyxl (read_only).

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_iterate.py [--rows N]
        [--params N] [--repeat N] [--file PATH] [--w1]

Writes one workbook (xlsxwriter) with a business-process sheet of rows x params values
(text, numbers, booleans and empty cells mixed; with --w1 the layout of bench/xlsx/w1.h:
sheet "Data", odd columns texts out of 5,000 shared strings, even columns numbers), then,
in the same run, times opening it and reading every value of every row, end to end: with
ddtable (sheet.values() in one pass, row.values, row[name], to_pandas() when pandas is
installed) and with openpyxl's read-only mode, each repeat running every reader in turn.
Prints the best and median time of each, and the median of the paired ratios to openpyxl:
with the open, and after it (the reads alone: the median of each run less the open alone
of its repeat); then the same ratio of CPU time (the process's, every thread), which a
machine shared with other work disturbs less than the wall time; and the load average
before and after, for the record.
"""

import argparse
import os
import statistics
import tempfile
import time

import importlib.util

import openpyxl
import xlsxwriter

import ddtable


def make_workbook(path, rows, params):
    book = xlsxwriter.Workbook(path, {"constant_memory": True})
    sheet = book.add_worksheet("Orders")
    sheet.write_row(0, 0, [f"Param{c + 1}" for c in range(params)])
    for r in range(1, rows + 1):
        values = []
        for c in range(params):
            kind = (r + c) % 5
            values.append(f"text {r}-{c}" if kind == 0 else
                          r * 0.5 + c if kind in (1, 2) else
                          (r + c) % 2 == 0 if kind == 3 else None)
        sheet.write_row(r, 0, values)
    book.close()


SHEET = "Orders"


def make_w1(path, rows):
    """The layout of bench/xlsx/w1.h, with shared strings as a spreadsheet program writes."""
    book = xlsxwriter.Workbook(path)
    sheet = book.add_worksheet("Data")
    sheet.write_row(0, 0, [f"Param{c}" for c in range(1, 21)])
    for r in range(1, rows + 1):
        sheet.write_row(r, 0, [f"item {(r * 7 + c) % 5000}" if c % 2 == 1 else r * 0.25 + c
                               for c in range(1, 21)])
    book.close()


def open_ddtable(path):
    """The open alone (every value read, nothing converted): the floor of the reads below."""
    with ddtable.open(path) as book:
        return len(book[SHEET]) * 0


def read_ddtable_values(path):
    count = 0
    with ddtable.open(path) as book:
        for row in book[SHEET].values():
            for value in row:
                count += value is not None
    return count


def read_ddtable_pandas(path):
    with ddtable.open(path) as book:
        return int(book[SHEET].to_pandas().notna().to_numpy().sum())


def read_ddtable_by_position(path):
    count = 0
    with ddtable.open(path) as book:
        for row in book[SHEET]:
            for value in row.values:
                count += value is not None
    return count


def read_ddtable_by_name(path):
    count = 0
    with ddtable.open(path) as book:
        sheet = book[SHEET]
        names = sheet.parameters
        for row in sheet:
            for name in names:
                count += row[name] is not None
    return count


def read_openpyxl(path):
    count = 0
    book = openpyxl.load_workbook(path, read_only=True)
    for row in book[SHEET].iter_rows(min_row=2, values_only=True):
        for value in row:
            count += value is not None
    book.close()
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=100_000)
    parser.add_argument("--params", type=int, default=20)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--file", help="use (or create) this workbook")
    parser.add_argument("--w1", action="store_true",
                        help="the W1 layout (20 columns, sheet Data; --params is ignored)")
    args = parser.parse_args()

    global SHEET
    with tempfile.TemporaryDirectory() as folder:
        path = args.file or os.path.join(folder, "iterate.xlsx")
        if args.w1:
            SHEET, args.params = "Data", 20
        if not os.path.exists(path):
            (make_w1(path, args.rows) if args.w1 else make_workbook(path, args.rows, args.params))
        print(f"{args.rows} rows x {args.params} parameters, {os.path.getsize(path)} bytes; "
              f"{args.repeat} repeats")
        runs = [("ddtable (open only)", open_ddtable),
                ("ddtable (sheet.values())", read_ddtable_values),
                ("ddtable (row.values)", read_ddtable_by_position),
                ("ddtable (row[name])", read_ddtable_by_name)]
        if importlib.util.find_spec("pandas") is not None:
            runs.append(("ddtable (to_pandas())", read_ddtable_pandas))
        runs.append(("openpyxl read_only", read_openpyxl))
        # Each repeat runs every reader once, in turn, so that the ratios pair runs made
        # under the same load; the median over the repeats is printed.
        times = {label: [] for label, _ in runs}
        cpu = {label: [] for label, _ in runs}
        counts = {}
        load_before = os.getloadavg()
        for _ in range(args.repeat):
            for label, fn in runs:
                start, start_cpu = time.perf_counter(), time.process_time()
                counts[label] = fn(path)
                times[label].append(time.perf_counter() - start)
                cpu[label].append(time.process_time() - start_cpu)
        load_after = os.getloadavg()
        expected = counts["openpyxl read_only"]
        for label, fn in runs:
            print(f"  {label:26} {min(times[label]):8.3f} s best, {statistics.median(times[label]):8.3f} s median"
                  f"   {counts[label]} values")
            if fn is not open_ddtable and counts[label] != expected:
                raise SystemExit(f"{label} read {counts[label]} values, not {expected}")
        base = times["openpyxl read_only"]
        opened = times["ddtable (open only)"]
        print("  openpyxl read_only against ddtable, median of the paired ratios:")
        for label, _ in runs[1:-1]:
            whole = statistics.median(b / t for b, t in zip(base, times[label]))
            # After the open: the time of the reads themselves (the run less the open alone
            # of the same repeat), against openpyxl's whole run (its lazy open reads nothing).
            reads = statistics.median(t - o for t, o in zip(times[label], opened))
            after = f"{statistics.median(base) / reads:6.1f}x" if reads > 0 else "  (lost in noise)"
            print(f"    {label:26} {whole:6.1f}x with the open, {after} after it ({reads:.3f} s of reads)")
        print("  the same, CPU time (median of the paired ratios, with the open):")
        for label, _ in runs[1:-1]:
            ratio = statistics.median(b / t for b, t in zip(cpu["openpyxl read_only"], cpu[label]))
            print(f"    {label:26} {ratio:6.1f}x   ({statistics.median(cpu[label]):.3f} s against "
                  f"{statistics.median(cpu['openpyxl read_only']):.3f} s)")
        print("  load average (1, 5, 15 min) before: {:.1f} {:.1f} {:.1f}, after: {:.1f} {:.1f} {:.1f}"
              .format(*load_before, *load_after))

if __name__ == "__main__":
    main()
