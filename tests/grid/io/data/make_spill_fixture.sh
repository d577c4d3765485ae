#!/bin/sh
# Remakes xlsxwriter_spill.xlsx: dynamic-array formulas as xlsxwriter writes them (the
# metadata part, cm="1" on the anchor, t="array" with the spill range), with the results it
# stores (xlsxwriter does not calculate: the values given below are what Excel shows).
set -e
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 - "$here/xlsxwriter_spill.xlsx" <<'PY'
import sys
import xlsxwriter
wb = xlsxwriter.Workbook(sys.argv[1])
ws = wb.add_worksheet("Data")
for i, (name, score) in enumerate([("ann", 30), ("bob", 10), ("cy", 20), ("ann", 5)]):
    ws.write(i, 0, name)
    ws.write(i, 1, score)
# C1: the distinct names, spilled over C1:C3.
ws.write_dynamic_array_formula("C1:C3", "=_xlfn.UNIQUE(A1:A4)", None, "ann")
ws.write_string(1, 2, "bob")
ws.write_string(2, 2, "cy")
# D1: the scores sorted, spilled over D1:D4.
ws.write_dynamic_array_formula("D1:D4", "=_xlfn._xlws.SORT(B1:B4)", None, 5)
for r, v in enumerate([10, 20, 30], start=1):
    ws.write_number(r, 3, v)
# E1: reads a spilled cell.
ws.write_formula("E1", "=D2*2", None, 20)
# A legacy array formula beside them.
ws.write_array_formula("F1:F2", "{=B1:B2*10}", None, 300)
ws.write_number(1, 5, 100)
wb.close()
PY
