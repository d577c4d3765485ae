#!/usr/bin/python3
"""Writes xlsxwriter_locale_dates.xlsx with python3-xlsxwriter: the layout of
xlwt_locale_dates.xls in .xlsx, cells whose numFmtId is one of the built-in ids East Asian
versions of the spreadsheet keep for their locale's dates and times (27 to 36, 50 to 58),
with no numFmt record (xlsxwriter writes a number given as the format so).

Sheet "Formats": column A the id, B and C dates and times (2023-03-15 12:00, 2023-03-16
18:00)."""
import os
import xlsxwriter

here = os.path.dirname(os.path.abspath(__file__))
book = xlsxwriter.Workbook(os.path.join(here, "xlsxwriter_locale_dates.xlsx"))
sheet = book.add_worksheet("Formats")
for row, i in enumerate(list(range(27, 37)) + list(range(50, 59))):
    style = book.add_format({"num_format": i})
    sheet.write_number(row, 0, i)
    sheet.write_number(row, 1, 45000.5, style)
    sheet.write_number(row, 2, 45001.75, style)
book.close()
