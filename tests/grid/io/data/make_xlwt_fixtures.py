#!/usr/bin/python3
"""Writes xlwt_shapes.xls with python3-xlwt (Debian package python3-xlwt), a writer that
leaves out the records most .xls writers add (no FORMAT records for the built-in currency
formats, one custom "General" format shared by every cell).

Sheet "Data": General numbers inside a currency column (C) and a currency row (4), beside
cells that carry the currency format themselves. Sheet "Hidden" is hidden, "Secret" very
hidden (only a macro shows it again)."""
import os
import xlwt

here = os.path.dirname(os.path.abspath(__file__))
book = xlwt.Workbook()
data = book.add_sheet('Data')
currency = xlwt.easyxf(num_format_str='"$"#,##0_);("$"#,##0)')
percent = xlwt.easyxf(num_format_str='0.00%')
data.write(0, 0, 0.256407)
data.write(0, 1, 0.256407, currency)
data.write(1, 0, 0.125, percent)
data.col(2).set_style(currency)
data.write(2, 2, 0.256407)             # General, in a currency column
data.write(4, 2, 1234.5, currency)     # currency, in the same column
data.row(3).set_style(currency)
data.write(3, 0, 0.5)                  # General, in a currency row
hidden = book.add_sheet('Hidden')
hidden.write(0, 0, 'hidden')
hidden.visibility = 1
secret = book.add_sheet('Secret')
secret.write(0, 0, 'very hidden')
secret.visibility = 2
book.save(os.path.join(here, 'xlwt_shapes.xls'))
