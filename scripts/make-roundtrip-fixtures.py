#!/usr/bin/python3
"""Makes the round-trip workbooks in tests/grid/io/data: files holding what a user's workbook may
hold beside its cells (formats, comments, validation, merges, links, names, images, charts,
tables, chart sheets, hidden sheets, a macro project), written by xlsxwriter, and one of
them converted by LibreOffice so that its way of writing is covered too.

Not run by CI: the files are committed. Needs python3-xlsxwriter and, for the LibreOffice
file, soffice (Debian: libreoffice-calc-nogui).

    /usr/bin/python3 scripts/make-roundtrip-fixtures.py
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

import xlsxwriter

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "grid", "io", "data")


def png(width, height, seed):
    """An RGB PNG of the given size with varied (poorly compressible) pixels."""
    rows = bytearray()
    state = seed
    for _ in range(height):
        rows.append(0)
        for _ in range(width * 3):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            rows.append((state >> 16) & 0xFF)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(rows), 1)) + chunk(b"IEND", b""))


def rich(path, image, vba=None):
    wb = xlsxwriter.Workbook(path)
    wb.set_properties({"title": "Round trip", "author": "Test Author", "company": "Example",
                       "comments": "made for the round-trip tests"})
    wb.set_custom_property("Reviewed", True)
    data = wb.add_worksheet("Data")
    lists = wb.add_worksheet("Lists")
    hidden = wb.add_worksheet("Hidden")
    secret = wb.add_worksheet("Secret")

    bold = wb.add_format({"bold": True, "italic": True, "underline": 1, "font_strikeout": True,
                          "font_name": "Courier New", "font_size": 14, "font_color": "#C00000"})
    aligned = wb.add_format({"align": "center", "valign": "top", "text_wrap": True,
                             "indent": 0, "rotation": 45})
    indented = wb.add_format({"align": "left", "indent": 2})
    unlocked = wb.add_format({"locked": False, "hidden": True})
    solid = wb.add_format({"bg_color": "#FFFF00", "pattern": 1})
    pattern = wb.add_format({"pattern": 7, "fg_color": "#00B050", "bg_color": "#FFFFFF"})
    borders = wb.add_format({"left": 1, "right": 2, "top": 5, "bottom": 6, "diag_type": 3,
                             "diag_border": 4, "diag_color": "#0070C0", "left_color": "#FF0000"})
    money = wb.add_format({"num_format": "#,##0.00 [$EUR]"})

    data.write_row(0, 0, ["Name", "Amount", "Kind", "Link", "Note"], bold)
    rows = [("alpha", 10.5, "A"), ("beta", -3, "B"), ("gamma", 7, "A"), ("delta", 0, "C")]
    for i, (n, a, k) in enumerate(rows, start=1):
        data.write_string(i, 0, n)
        data.write_number(i, 1, a, money)
        data.write_string(i, 2, k)
    data.write_string(5, 0, "centred and wrapped text", aligned)
    data.write_string(6, 0, "indented", indented)
    data.write_string(7, 0, "unlocked", unlocked)
    data.write_string(8, 0, "solid", solid)
    data.write_string(9, 0, "pattern", pattern)
    data.write_string(10, 0, "borders", borders)
    data.write_string(11, 0, "0123")
    data.write_formula(12, 1, "=SUM(B2:B5)", money, 14.5)
    data.write_comment("A2", "first row note", {"author": "Reviewer"})
    data.write_comment("C3", "kind comment")
    data.data_validation("C2:C5", {"validate": "list", "source": "=Lists!$A$1:$A$3"})
    data.data_validation("B2:B5", {"validate": "decimal", "criteria": "between",
                                   "minimum": -100, "maximum": 100})
    data.merge_range("A15:C16", "merged block", bold)
    data.write_url("D2", "https://example.com/page", string="external")
    data.write_url("D3", "internal:Lists!A1", string="internal")
    data.conditional_format("B2:B5", {"type": "cell", "criteria": ">", "value": 5,
                                      "format": solid})
    data.conditional_format("A2:A5", {"type": "text", "criteria": "containing",
                                      "value": "a", "format": bold})
    data.autofilter("A1:C5")
    data.freeze_panes(1, 1)
    data.set_row(5, 40)
    data.set_row(20, None, None, {"level": 1})
    data.set_row(21, None, None, {"level": 1, "hidden": True})
    data.set_row(22, None, None, {"collapsed": True})
    data.write_number(20, 0, 1)
    data.write_number(21, 0, 2)
    data.set_column("A:A", 24)
    data.set_column("F:G", 10, None, {"level": 1})
    data.set_tab_color("#FF6600")
    data.protect("", {"format_cells": True, "sort": True})
    data.set_landscape()
    data.set_paper(9)
    data.set_margins(left=0.5, right=0.5, top=1, bottom=1)
    data.set_header("&LLeft&CCentre&RPage &P")
    data.set_footer("&CConfidential")
    data.print_area("A1:E30")
    data.repeat_rows(0)
    data.fit_to_pages(1, 0)
    data.insert_image("G2", "image.png", {"image_data": io.BytesIO(image)})

    table = data  # a table beside the data
    table.add_table("I2:K5", {"name": "Prices", "columns": [{"header": "Item"},
                                                             {"header": "Price"},
                                                             {"header": "Qty"}],
                              "data": [["pen", 1.5, 10], ["ink", 4, 2], ["pad", 2.25, 5]]})
    chart = wb.add_chart({"type": "column"})
    chart.add_series({"name": "Amount", "categories": "=Data!$A$2:$A$5",
                      "values": "=Data!$B$2:$B$5"})
    data.insert_chart("M2", chart)

    lists.write_column(0, 0, ["A", "B", "C"])
    lists.write_string(0, 2, "local names")
    hidden.write_string(0, 0, "hidden sheet")
    hidden.hide()
    secret.write_string(0, 0, "very hidden sheet")
    secret.hide()

    wb.define_name("Kinds", "=Lists!$A$1:$A$3")
    wb.define_name("Lists!LocalRate", "=0.21")
    wb.define_name("Amounts", "=Data!$B$2:$B$5")

    sheet_chart = wb.add_chart({"type": "line"})
    sheet_chart.add_series({"values": "=Data!$B$2:$B$5"})
    cs = wb.add_chartsheet("Chart")
    cs.set_chart(sheet_chart)
    if vba:
        wb.add_vba_project(io.BytesIO(vba), is_stream=True)
    data.activate()
    wb.close()
    # Sheet "Secret" is very hidden; xlsxwriter only writes "hidden".
    rewrite(path, "xl/workbook.xml",
            lambda x: x.replace(b'name="Secret" sheetId="4" state="hidden"',
                                b'name="Secret" sheetId="4" state="veryHidden"'))


def rewrite(path, part, edit):
    tmp = path + ".tmp"
    with zipfile.ZipFile(path) as src, zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as dst:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == part:
                data = edit(data)
            dst.writestr(item, data)
    os.replace(tmp, path)


def vba_blob():
    """A stand-in for a macro project: a compound-file header and arbitrary content. The
    round trip only carries it; nothing reads it."""
    head = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + bytes(24)
    return head + bytes((i * 37) & 0xFF for i in range(4096))


def main():
    os.makedirs(DATA, exist_ok=True)
    rich(os.path.join(DATA, "roundtrip_xlsxwriter.xlsx"), png(64, 48, 7))
    rich(os.path.join(DATA, "roundtrip_macro.xlsm"), png(16, 16, 3), vba_blob())
    soffice = shutil.which("soffice")
    if not soffice:
        print("soffice not found: roundtrip_libreoffice.xlsx not made", file=sys.stderr)
        return
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "roundtrip_libreoffice.xlsx")
        rich(src, png(32, 32, 5))
        out = os.path.join(tmp, "out")
        subprocess.run([soffice, "--headless", "-env:UserInstallation=file://" + tmp + "/profile",
                        "--convert-to", "xlsx:Calc MS Excel 2007 XML", "--outdir", out, src],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.copy(os.path.join(out, "roundtrip_libreoffice.xlsx"), DATA)


if __name__ == "__main__":
    main()
