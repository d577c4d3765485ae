#!/bin/sh
# Remakes xlsxwriter_spill_merges.xlsx: dynamic-array formulas beside merged ranges, with the
# results Excel shows (xlsxwriter does not calculate). B1 spills SEQUENCE(A1) over B1:B2 and
# would reach the merged B4:C4 once A1 grows past 3; C6 would spill over the merged C7:D7
# and shows #SPILL!.
set -e
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 - "$here/xlsxwriter_spill_merges.xlsx" <<'PY'
import sys
import xlsxwriter
wb = xlsxwriter.Workbook(sys.argv[1])
ws = wb.add_worksheet("Data")
ws.write_number("A1", 2)
ws.write_dynamic_array_formula("B1:B2", "=_xlfn.SEQUENCE(A1)", None, 1)
ws.write_number("B2", 2)
ws.merge_range("B4:C4", "", wb.add_format({"border": 1}))
ws.write_dynamic_array_formula("C6", "=_xlfn.SEQUENCE(2)", None, "#SPILL!")
ws.merge_range("C7:D7", "", wb.add_format({"border": 1}))
ws.merge_range("F1:G2", "kept", wb.add_format({"border": 1}))
wb.close()
PY
