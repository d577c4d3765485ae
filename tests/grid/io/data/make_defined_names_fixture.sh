#!/bin/sh
# Remakes openpyxl_defined_names.xlsx: print areas, print titles and user names, global and
# local, over three sheets, for the tests of names whose cells or sheets are deleted.
set -e
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 - "$here/openpyxl_defined_names.xlsx" <<'PY'
import sys
import openpyxl
from openpyxl.workbook.defined_name import DefinedName
wb = openpyxl.Workbook()
data = wb.active
data.title = "Data"
report = wb.create_sheet("Report")
other = wb.create_sheet("Other")
for ws in (data, report, other):
    for r in range(1, 9):
        ws.cell(r, 1, "r%d" % r)
        ws.cell(r, 2, r * 10)
data.print_area = ["A1:B5", "A7:B8"]
data.print_title_rows = "1:2"
data.print_title_cols = "A:A"
report.print_area = "A1:B2"
report.print_title_rows = "1:1"
names = [("Users", "Data!$A$3:$B$4"), ("Kept", "Data!$A$7:$B$8"),
         ("Mixed", "Data!$A$1,Data!$A$8"), ("OtherCells", "Other!$A$1:$A$2"),
         ("Total", "SUM(Data!$B$1:$B$8)")]
for name, text in names:
    wb.defined_names.append(DefinedName(name, attr_text=text))
wb.defined_names.append(DefinedName("Local", localSheetId=2, attr_text="Other!$B$1"))
wb.save(sys.argv[1])
PY
