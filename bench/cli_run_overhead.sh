#!/usr/bin/env bash
# Overhead of `ddtable run` per row: a run over ROWS rows (default 1000) with the trivial
# command `true`, against a shell loop that starts `true` as many times; and --jobs 2
# against --jobs 1. Whole-process wall times from bash's `time`; run it on a quiet machine.
#
#   bench/cli_run_overhead.sh build/bench/tools/ddtable/ddtable [ROWS]
set -euo pipefail
ddtable=${1:?usage: $0 PATH/TO/ddtable [ROWS]}
rows=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$work/rows.xlsx" "$rows" <<'PY'
import sys, openpyxl
book = openpyxl.Workbook()
sheet = book.active
sheet.title = "Rows"
sheet.append(["N"])
for n in range(1, int(sys.argv[2]) + 1):
    sheet.append([n])
book.save(sys.argv[1])
PY

TIMEFORMAT='%3R s'
echo "shell loop starting true $rows times:"
time (for ((i = 0; i < rows; ++i)); do /bin/true; done)  # /bin/true: the builtin starts nothing
echo "ddtable run over $rows rows, --jobs 1:"
time "$ddtable" --quiet run "$work/rows.xlsx" --bp Rows --results "$work/r1.xlsx" -- true
echo "ddtable run over $rows rows, --jobs 2:"
time "$ddtable" --quiet run "$work/rows.xlsx" --bp Rows --results "$work/r2.xlsx" --jobs 2 -- true
