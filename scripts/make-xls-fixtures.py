#!/usr/bin/env python3
"""Makes the .xls test fixtures of tests/grid/io/data: an .xlsx with the cases the .xls reader must
read (values, strings, formulas, styles, widths, hidden rows and columns), saved by
LibreOffice as BIFF8 ("MS Excel 97") and its own .xlsx, which the tests compare the .xls
reads with. Debian's LibreOffice only imports Excel 95, so the BIFF5 file is written by
Gnumeric's ssconvert (excel_biff7, the Excel 95 format) from LibreOffice's .xlsx.

Not run by CI: the files are committed. Needs python3-xlsxwriter, soffice (Debian:
libreoffice-calc-nogui) and ssconvert (Debian: gnumeric).

    /usr/bin/python3 scripts/make-xls-fixtures.py
"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

import xlsxwriter

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "grid", "io", "data")


def cases(path, date_1904=False):
    """Every case, or for the 1904 date system only the values sheet."""
    wb = xlsxwriter.Workbook(path, {"date_1904": date_1904})
    values = wb.add_worksheet("Values")
    dollars = wb.add_format({"num_format": '"$"#,##0.000'})
    duration = wb.add_format({"num_format": "[hh]:mm:ss"})
    date = wb.add_format({"num_format": "yyyy-mm-dd"})
    stamp = wb.add_format({"num_format": "yyyy-mm-dd hh:mm"})
    percent = wb.add_format({"num_format": "0.00%"})
    builtin = wb.add_format({"num_format": 4})  # #,##0.00
    values.write("A1", "label")
    values.write_number("B1", 96.125, dollars)
    values.write_number("B2", 10.632, duration)
    values.write_datetime("B3", datetime.datetime(2024, 3, 1), date)
    values.write_datetime("B4", datetime.datetime(1999, 12, 31, 23, 59), stamp)
    values.write_number("B5", 0.125, percent)
    values.write_number("B6", 1234567.891, builtin)
    values.write_number("C1", 42)
    values.write_number("C2", -7)
    values.write_number("C3", 0.1)
    values.write_number("C4", 1e20)
    values.write_number("C5", -123456789.125)
    values.write_number("C6", 3.14159265358979)
    values.write_boolean("D1", True)
    values.write_boolean("D2", False)
    values.write_formula("D3", "=NA()", None, "#N/A")
    values.write("E1", "Grüße, café")
    values.write("E2", "naïve – “quoted” €")
    values.write("E3", 'with "double" quotes')
    values.write("E4", "x" * 300)
    values.write_rich_string("E5", "plain ", wb.add_format({"bold": True}), "bold", " tail")
    values.write_string("E6", "'starts with an apostrophe")
    values.write("F1", "line one\nline two")
    if date_1904:
        wb.close()
        return
    # Enough distinct strings for the shared string table to need CONTINUE records.
    strings = wb.add_worksheet("Strings")
    for i in range(400):
        strings.write_string(i, 0, "string number %05d with some padding text" % i)
    formulas = wb.add_worksheet("Formulas")
    other = wb.add_worksheet("Other Sheet")
    other.write_number("A1", 5)
    other.write_number("A2", 6)
    other.write_number("B1", 7)
    wb.define_name("Rate", "=Values!$C$1")
    rows = [
        ("=C1+C2*3", None),
        ("=(C1+C2)*3", None),
        ("=-C1^2", None),
        ("=C3%", None),
        ("=C1>=C2", None),
        ('=A1&" and "&"a ""q"""', None),
        ("=ABS(C2)+ROUND(C6,2)", None),
        ("=SUM(C1:C3)", None),
        ("=SUM(C1)", None),
        ("=IF(C1>10,\"big\",\"small\")", None),
        ("=CHOOSE(2,\"a\",\"b\",\"c\")", None),
        ("='Other Sheet'!A1+'Other Sheet'!A2", None),
        ("=SUM('Other Sheet'!A1:B2)", None),
        ("=$C$1+C$2+$C3", None),
        ("=SUM(C:C)", None),
        ("=Rate*2", None),
        ("=SUM({1,2;3,4})", None),
        ("=IFERROR(1/0,\"none\")", None),
        ("=ISERROR(1/0)", None),
        ("=TRUE", None),
        ("=VLOOKUP(42,C1:D6,2,FALSE)", None),
        ("=LEN(E4)", None),
        ("=INDEX(C1:C6,MATCH(0.1,C1:C6,0))", None),
        ("=CONCATENATE(\"a\",\"b\")", None),
        ("=AVERAGE(C1:C3,C5)", None),
        ("=MID(\"abcdef\",2,3)", None),
        ("=DATE(2024,1,31)", None),
    ]
    for i, (f, _) in enumerate(rows):
        formulas.write_formula(i, 0, f)
    # A column filled down: LibreOffice writes these as one shared formula.
    for r in range(40):
        formulas.write_number(r, 2, r + 1)
        formulas.write_formula(r, 3, "=C%d*10+$C$1" % (r + 1))
    formulas.write_array_formula("E1:E1", "{=SUM(C1:C3*C1:C3)}")
    formulas.write_array_formula("F1:F3", "{=C1:C3*2}")
    styles = wb.add_worksheet("Styles")
    styles.set_column("A:A", 20)
    styles.set_column("B:B", 5.5)
    styles.set_column("C:C", None, None, {"hidden": True})
    styles.set_row(2, None, None, {"hidden": True})
    styles.write("A1", "red fill", wb.add_format({"bg_color": "#FF0000", "pattern": 1}))
    styles.write("A2", "blue text", wb.add_format({"font_color": "#0000FF"}))
    styles.write("A3", "borders", wb.add_format({"left": 1, "right": 2, "top": 5, "bottom": 6,
                                                 "bottom_color": "#00FF00"}))
    styles.write("A4", "pattern", wb.add_format({"pattern": 4, "fg_color": "#FFFF00",
                                                 "bg_color": "#0000FF"}))
    styles.write("A5", "hidden row 3 and column C")
    styles.write("C1", "in the hidden column")
    wb.close()


RECALC_ON_LOAD = """<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry"
 xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item>
</oor:items>
"""


def soffice_convert(source, fmt, out_dir):
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        sys.exit("soffice not found: apt-get install libreoffice-calc-nogui")
    with tempfile.TemporaryDirectory() as profile:
        # Recalculate on load, so the files carry real cached results (the source has none).
        os.makedirs(os.path.join(profile, "user"))
        with open(os.path.join(profile, "user", "registrymodifications.xcu"), "w") as f:
            f.write(RECALC_ON_LOAD)
        subprocess.run([soffice, "-env:UserInstallation=file://" + profile, "--headless",
                        "--convert-to", fmt, "--outdir", out_dir, source], check=True,
                       stdout=subprocess.DEVNULL)


def make(name, date_1904=False):
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, name + ".xlsx")
        cases(source, date_1904)
        for filt, suffix in (('xls:MS Excel 97', "_biff8"), ("xlsx:Calc MS Excel 2007 XML", "")):
            out = os.path.join(tmp, suffix or "xlsx")
            os.makedirs(out)
            soffice_convert(source, filt, out)
            ext = ".xlsx" if not suffix else ".xls"
            shutil.copy(os.path.join(out, name + ext), os.path.join(DATA, name + suffix + ext))
        ssconvert = shutil.which("ssconvert")
        if not ssconvert:
            sys.exit("ssconvert not found: apt-get install gnumeric")
        subprocess.run([ssconvert, "--export-type=Gnumeric_Excel:excel_biff7",
                        os.path.join(DATA, name + ".xlsx"),
                        os.path.join(DATA, name + "_biff5.xls")], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    os.makedirs(DATA, exist_ok=True)
    make("xls_cases")
    make("xls_cases_1904", date_1904=True)


if __name__ == "__main__":
    main()
