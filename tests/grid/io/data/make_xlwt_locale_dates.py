#!/usr/bin/python3
"""Writes xlwt_locale_dates.xls with python3-xlwt: cells whose formats are the built-in ids
East Asian versions of the spreadsheet keep for their locale's dates and times (27 to 36, 50
to 58), with no FORMAT record, as such versions write them. xlwt knows these ids by no code,
so its table of built-in formats is given a name for each before the cells are written.

Sheet "Formats": column A the id, B and C dates and times (2023-03-15 12:00, 2023-03-16
18:00)."""
import os
import xlwt

here = os.path.dirname(os.path.abspath(__file__))
book = xlwt.Workbook()
ids = list(range(27, 37)) + list(range(50, 59))
for i in ids:
    book._Workbook__styles._num_formats["locale format %d" % i] = i
sheet = book.add_sheet("Formats")
for row, i in enumerate(ids):
    style = xlwt.easyxf(num_format_str="locale format %d" % i)
    sheet.write(row, 0, i)
    sheet.write(row, 1, 45000.5, style)
    sheet.write(row, 2, 45001.75, style)
book.save(os.path.join(here, "xlwt_locale_dates.xls"))
