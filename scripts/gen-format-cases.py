#!/usr/bin/python3
"""Builds tests/grid/format/data/format_cases.tsv: (value, format code, expected text) tables.

Expected texts come from LibreOffice Calc: the script writes an .xlsx with openpyxl (each
value in a cell carrying the format code) and converts it headless to CSV with the cells'
texts as shown. Where Calc and Excel differ, the table follows Excel and says so in its
last column (source "excel" plus the reason). Needs libreoffice-calc and python3-openpyxl;
CI does not run it, the table is committed.

    /usr/bin/python3 scripts/gen-format-cases.py
"""
import csv
import os
import subprocess
import sys
import tempfile

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "grid", "format", "data", "format_cases.tsv")

T1030 = 10.5 / 24 + 59.6 / 86400  # 10:30:59.6

# (value, code): Calc gives the expected text.
CASES = [
    # General, in a column wide enough for any value
    (0, "General"), (123456789012, "General"), (1 / 3, "General"), (0.1 + 0.2, "General"),
    (-2 / 3, "General"), (1e-9, "General"), (1.5e-10, "General"), (123456789012345.6, "General"),
    (0.000123456789012345678, "General"), (100, "General"), (1e14, "General"), (-0.5, "General"),
    (1e15, "General"), (1.2345678901234567e19, "General"), (999999999999999.9, "General"),
    (1e100, "General"), (-1e-100, "General"), (9.99999999999999e-10, "General"),
    # digits, decimals, rounding
    (1234.5, "0.00"), (1.005, "0.00"), (2.675, "0.00"), (-1234.5, "0.00"), (0.5, "0"), (1.5, "0"),
    (2.5, "0"), (-2.5, "0"), (0.5, "#"), (0, "#"), (0, "0"), (12, "#.0#"), (1234.568, "#.0#"),
    (0.631, "0.#"), (0.631, "#.00"), (8.9, "#.000"), (0.5, "???.???"), (44.398, "???.???"),
    (102.65, "???.???"), (123456789, "000-00-0000"), (5, "00000"), (1e300, "0"),
    (123456789012345678, "0"), (0.000001, "0.000000000"), (-0.001, "0.00"), (-0.3, "0"),
    # thousands and scaling
    (1234567.891, "#,##0.00"), (-1234567.891, "#,##0"), (0, "#,##0"), (999.5, "#,##0"),
    (12000, "#,###"), (12000, "#,"), (12200000, "0.0,,"), (12345678, "#,##0,,"), (5, "0,000"),
    (123, "#,##0.00"), (0.25, "#,##0.00"),
    # percent
    (0.5, "0%"), (0.123, "0.0%"), (-0.0525, "0.00%"), (1, "0%"), (0.001, "0%"),
    # scientific
    (12345, "0.00E+00"), (0.00001234, "0.00E+00"), (0.001234, "0.00E-00"), (1234, "0.00E-00"),
    (0, "0.00E+00"), (99999, "0.0E+0"), (12345, "##0.0E+0"), (0.0001234, "##0.0E+0"),
    (1234, "00.00E+00"), (-12345, "0.00E+00"), (1e100, "0.00E+00"), (1.5e-100, "0.0E+00"),
    (1234, "0.00e+00"),
    # fractions
    (0.25, "?/?"), (0, "?/?"), (0.25, "# ?/?"), (0.25, "0 ?/?"), (-1.25, "# ?/?"), (1, "# ?/?"),
    (0, "# ?/?"), (2.999, "# ?/?"), (0.999, "# ?/?"), (5.3, "# ???/???"), (1.5, "# ??/??"),
    (0.3, "?/16"), (1.5, "# ?/4"), (3.14159265, "# ??/??"), (3.14159265, "# ???/???"),
    (0.333, "?/?"), (1.5, "?/?"), (-0.75, "?/?"), (0.142857, "# ?/?"), (12.34, "# ?/100"),
    (5.3, "#\" \"?/?"),
    # literals, escapes, spacing, fill, colours, currency, locale
    (5, "\\a0"), (5, "\"x\""), (5, "0\" kg\""), (-5, "0\" kg\""), (5, "0_)"),
    (1234.5, "$#,##0.00_);($#,##0.00)"), (-1234.5, "$#,##0.00_);($#,##0.00)"),
    (5, "* 0"), (5, "0*-"), (1234.5, "#,##0.00 [$EUR]"), (1234.5, "[$$-409]#,##0.00"),
    (-5, "[Red]0;[Blue]-0"), (5, "[Red]0.0"), (5, "[Color10]0"), (-5, "\"a\"General"),
    (-5, "0;\"neg \"General"), (5, "\"(\"0\")\""), (7, "0 \"units\";-0 \"units\";\"none\""),
    # sections and conditions
    (0, "0;-0;\"zero\""), (-0.3, "0;-0;\"zero\""), (-5, "0.0;(0.0)"), (0, "0.0;(0.0)"),
    (-5, "0;0;0;@"), (-5, "0;;0"), (-5, ";0"), (0, "0.0;-0.0;;@"), (0, "@"), (5, "@"),
    (150, "[>100]\"big\";\"small\""), (-150, "[>100]\"big\";\"small\""),
    (-150, "[>100]\"big\";0"), (5, "[<10]0.0;[>=10]0"), (15, "[<10]0.0;[>=10]0"),
    (3, "[=1]\"one\";[=2]\"two\";\"other\""), (-5, "[<=0]0;0"), (-5, "[<0]0"), (-5, "[<-1]0"),
    (-5, "[>=0]0;0"), (-50, "[>100]0;[<-100]0;0"), (-150, "[>100]0;[<-100]0;0"),
    (-50, "[<100]0;0"), (-5, "[=-5]0;0"), (-2, "[<-1]0;[<0]0;0"), (-0.5, "[<-1]0;[<0]0;0"),
    (2, "[=1]\"one\";[=2]\"two\""), (1234, "[<1000]0;#,##0"),
    # dates and times
    (45000, "yyyy-mm-dd"), (45000.75, "yyyy-mm-dd hh:mm:ss"), (45000.75, "dddd, mmmm d, yyyy h AM/PM"),
    (45000.5, "m/d/yyyy h:mm"), (45000.5, "mm:ss"), (45000, "d-mmm-yy"), (45000, "d-mmm"),
    (45000, "mmm-yy"), (45000.25, "h:mm AM/PM"), (45000.999, "h:mm:ss AM/PM"), (45000.5, "h:mm"),
    (45000.5, "hh:mm:ss"), (45000, "YYYY-MM-DD"), (45000.5, "HH:MM"), (45000, "[$-409]mmmm d"),
    (45000.123456, "hh:mm:ss.000"), (45000.123456, "hh:mm:ss.0"), (45000.123456, "h:mm:ss.00"),
    (0.99999999, "yyyy-mm-dd hh:mm:ss"), (0.4375, "h:mm"), (1, "[h]:mm:ss"), (1.5, "[mm]:ss"),
    (2.75, "[h]:mm"), (0.0416666666666667, "[s]"), (T1030, "[m]"), (T1030, "h:mm:ss"),
    (36526, "dddd ddd dd d"), (36526, "mmmm mmm mm m"), (45000, "yy yyyy"), (45000.75, "mmmmm"),
    (45292, "yyyy-mm-dd dddd"), (2958465, "yyyy-mm-dd"), (45000.5, "h"), (45000.0, "m/d"),
    (45000.6789, "yyyy\"年\"m\"月\"d\"日\""), (45000.75, "h:mm:ss A/P"), (45000.25, "h:mm am/pm"),
    (45000.5, "mm/dd/yyyy hh:mm"), (45000, "dd.mm.yyyy"), (61, "yyyy-mm-dd"), (45000.5, "[h]"),
    # more rounding, alignment, escapes and times
    (0.125, "0.00"), (0.05, "0.0"), (0.045, "0.0"), (1234.5678, "#,##0.000"), (1e15, "#,##0"),
    (123456789.125, "0.00"), (-3.5, "0.00_);[Red](0.00)"), (3.5, "0.00_);[Red](0.00)"),
    (1e-5, "0.0%"), (5, "0\\%"), (5, "0\"%\""), (3.25, "??0.0??"), (-1.5, "# ?/?;(# ?/?)"),
    (0.9999, "?/?"), (0.9999, "# ?/?"), (45000.5, "[h]:mm:ss"), (0.000694444444444444, "mm:ss.00"),
    (0.5000115740740741, "[ss].00"), (0.5000115740740741, "[mm]:ss.0"), (45000.75, "[$-409]h:mm:ss AM/PM"),
    (45000, "mmm d, yyyy"), (45000, "dd/mm/yyyy"), (45000.0000057870, "h:mm:ss.0 AM/PM"),
    (-1234567, "#,##0;-#,##0;\"-\""), (0, "#,##0;-#,##0;\"-\""), (0.001, "#,##0.00;-#,##0.00;\"-\""),
    (1234.5, "\"$\"#,##0.00"), (42, "\"Total: \"0"), (0.5, "0.0 \"%\""), (100, "0.0E+00"),
    (-0.000123, "0.00E+00"), (-0.5, "# ?/?"), (-0.5, "0 ?/?"), (0.5, "[h]:mm:ss.00"),
    (1234.5, "[$€-407] #,##0.00"), (45000.5, "yyyy-mm-dd\\Thh:mm:ss"),
]

# The built-in formats' codes (as src/grid/format/builtin_formats.cpp has them).
BUILTIN_NUMBER = [
    "0", "0.00", "#,##0", "#,##0.00", '"$"#,##0_);\\("$"#,##0\\)', '"$"#,##0_);[Red]\\("$"#,##0\\)',
    '"$"#,##0.00_);\\("$"#,##0.00\\)', '"$"#,##0.00_);[Red]\\("$"#,##0.00\\)', "0%", "0.00%",
    "0.00E+00", "# ?/?", "# ??/??", "#,##0_);(#,##0)", "#,##0_);[Red](#,##0)",
    "#,##0.00_);(#,##0.00)", "#,##0.00_);[Red](#,##0.00)",
    '_(* #,##0_);_(* \\(#,##0\\);_(* "-"_);_(@_)',
    '_("$"* #,##0_);_("$"* \\(#,##0\\);_("$"* "-"_);_(@_)',
    '_(* #,##0.00_);_(* \\(#,##0.00\\);_(* "-"??_);_(@_)',
    '_("$"* #,##0.00_);_("$"* \\(#,##0.00\\);_("$"* "-"??_);_(@_)', "##0.0E+0",
]
BUILTIN_DATE = ["m/d/yyyy", "d-mmm-yy", "d-mmm", "mmm-yy", "h:mm AM/PM", "h:mm:ss AM/PM", "h:mm",
                "h:mm:ss", "m/d/yyyy h:mm", "mm:ss", "[h]:mm:ss", "mm:ss.0"]
CASES += [(v, c) for c in BUILTIN_NUMBER for v in (1234.5, -1234.5, 0, 0.256)]
CASES += [(v, c) for c in BUILTIN_DATE for v in (45000.75, 45000.0416, 61.5)]

# Cases whose expected text is Excel's, where Calc shows something else: (value, code, text, why)
EXCEL = [
    (1e15, "General", "1E+15", "Excel switches to scientific at 1E+15"),
    (1.2345678901234567e19, "General", "1.23456789012346E+19", "Excel writes two exponent digits"),
    (999999999999999.9, "General", "1E+15", "rounds to 1E+15"),
    (1e100, "General", "1E+100", "Excel writes the exponent's digits only"),
    (9.99999999999999e-10, "General", "9.99999999999999E-10", "below 1E-9: scientific"),
    (-1e-100, "General", "-1E-100", "General keeps the value"),
    (-0.001, "0.00", "-0.00", "Excel keeps the sign of a negative number that rounds to zero"),
    (-0.3, "0", "-0", "Excel keeps the sign of a negative number that rounds to zero"),
    (0.631, "#.00", ".63", "the same in both; kept for the # before the point"),
    (0, "#", "", "nothing to show"),
    (45000, "yy yyyy", "23 2023", "same in both"),
    (0, "yyyy-mm-dd", "1900-01-00", "Excel's serial 0 is 1900-01-00 (Calc: 1899-12-30)"),
    (1, "yyyy-mm-dd ddd", "1900-01-01 Sun", "Excel's 1900 system: serial 1 is a Sunday"),
    (59, "yyyy-mm-dd", "1900-02-28", "Calc counts from 1899-12-30"),
    (60, "yyyy-mm-dd ddd", "1900-02-29 Wed", "Excel's fictitious 29 February 1900"),
    (45000, "y", "23", "Excel reads y as yy (Calc shows a literal y)"),
    (45000, "yyy", "2023", "Excel reads yyy as yyyy"),
    (45000.5, "h:mm A/P", "12:00 P", "Excel keeps the case of A/P (Calc: lower case)"),
    (45000.75, "h:mm:ss A/P", "6:00:00 P", "Excel keeps the case of A/P (Calc: lower case)"),
    (45000.25, "h:mm am/pm", "6:00 am", "Excel keeps the case of am/pm (Calc: upper case)"),
    (45000.999, "h:mm:ss AM/PM", "11:58:34 PM", "23:58:33.6: Excel rounds to whole seconds (Calc truncates)"),
    (0.99999999, "yyyy-mm-dd hh:mm:ss", "1900-01-01 00:00:00", "rounds into day 1; Calc's day 1 is 1899-12-31"),
    (T1030, "h:mm", "10:31", "Excel rounds to whole seconds before hiding them (Calc truncates)"),
    (T1030, "h:mm:ss", "10:31:00", "Excel rounds to whole seconds (Calc truncates)"),
    (-0.5, "[h]:mm:ss", kInvalid := "########", "Excel shows no negative time in the 1900 system"),
    (-1, "yyyy-mm-dd", "########", "no date before serial 0"),
    (2958466, "yyyy-mm-dd", "########", "no date after 9999-12-31"),
    (45000.2, "[$-F800]", "Wednesday, March 15, 2023", "system long date (Calc does not know it)"),
    (45000.75, "[$-F400]", "6:00:00 PM", "system long time (Calc does not know it)"),
    (0.5000115740740741, "[ss].00", "43201.00", "elapsed seconds with decimals (Calc refuses the code)"),
    (5, "#.#", "5.", "Excel keeps the decimal point (Calc drops it)"),
    (0, "#.##", ".", "Excel keeps the decimal point (Calc drops it)"),
    (12, "#,##0.", "12.", "Excel keeps the decimal point"),
]

# The 1904 date system: Calc reads the workbook's flag, so these come from Calc too.
CASES_1904 = [
    (0, "yyyy-mm-dd"), (1, "yyyy-mm-dd dddd"), (43538, "yyyy-mm-dd"), (43538.75, "yyyy-mm-dd hh:mm"),
    (59, "yyyy-mm-dd"), (60, "yyyy-mm-dd"),
]


# Text through a code: (text, code); Calc gives the expected text.
TEXT_CASES = [
    ("abc", "@"), ("abc", '"Name: "@'), ("abc", "0.00"), ("abc", "0;-0;0;"), ("abc", "0;-0;0;@\"!\""),
    ("abc", '_(* #,##0_);_(* \\(#,##0\\);_(* "-"_);_(@_)'), ("abc", "[Red]@"), ("abc", "@ @"),
    ("12", "@"), ("abc", "General"), ("abc", "0;@"), ("x y", '"<"@">"'), ("abc", "yyyy-mm-dd"),
]
TEXT_OUT = os.path.join(HERE, "..", "tests", "grid", "format", "data", "text_cases.tsv")


def calc_texts(cases, date1904):
    wb = openpyxl.Workbook()
    if date1904:
        wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
    ws = wb.active
    for i, (v, code) in enumerate(cases, start=1):
        ws.cell(i, 1, v)
        ws.cell(i, 2, v).number_format = code
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "cases.xlsx")
        wb.save(path)
        subprocess.run(["soffice", "--headless", "--convert-to",
                        "csv:Text - txt - csv (StarCalc):9,34,76,1,,1033,false,true,true",
                        "--outdir", tmp, path], check=True, capture_output=True)
        with open(os.path.join(tmp, "cases.csv"), encoding="utf-8", newline="") as f:
            rows = list(csv.reader(f, delimiter="\t", quotechar='"'))
    if len(rows) != len(cases):
        sys.exit("Calc returned %d rows for %d cases" % (len(rows), len(cases)))
    return [r[1] if len(r) > 1 else "" for r in rows]


def main():
    excel = {(v, c): (t, why) for v, c, t, why in EXCEL}
    lines = []
    calc = calc_texts(CASES, False)
    seen = set()
    for (v, code), text in zip(CASES, calc):
        seen.add((v, code))
        if (v, code) in excel:
            t, why = excel[(v, code)]
            if t != text:
                lines.append((v, 0, code, t, "excel: " + why + " (Calc: %r)" % text))
                continue
        lines.append((v, 0, code, text, "calc"))
    for v, code, t, why in EXCEL:
        if (v, code) not in seen:
            lines.append((v, 0, code, t, "excel: " + why))
    for (v, code), text in zip(CASES_1904, calc_texts(CASES_1904, True)):
        lines.append((v, 1, code, text, "calc"))
    with open(OUT, "w", encoding="utf-8", newline="\n") as f:
        f.write("# value\tdate1904\tcode\texpected\tsource (generated by scripts/gen-format-cases.py)\n")
        for v, d1904, code, text, source in lines:
            for field in (code, text):
                if "\t" in field or "\n" in field:
                    sys.exit("tab or newline in %r" % field)
            f.write("%r\t%d\t%s\t%s\t%s\n" % (float(v), d1904, code, text, source))
    print("wrote %d cases to %s" % (len(lines), OUT))
    with open(TEXT_OUT, "w", encoding="utf-8", newline="\n") as f:
        f.write("# text\tcode\texpected\tsource (generated by scripts/gen-format-cases.py)\n")
        for (text, code), shown in zip(TEXT_CASES, calc_texts(TEXT_CASES, False)):
            f.write("%s\t%s\t%s\tcalc\n" % (text, code, shown))
    print("wrote %d cases to %s" % (len(TEXT_CASES), TEXT_OUT))


if __name__ == "__main__":
    main()
