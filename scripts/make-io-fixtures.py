#!/usr/bin/python3
"""Makes the workbook files in tests/grid/io/data that come from other programs.

Not run by CI: the files are committed. Needs python3-openpyxl, python3-xlsxwriter and, for
the LibreOffice files, soffice (Debian: libreoffice-calc-nogui).

    /usr/bin/python3 scripts/make-io-fixtures.py
"""
import datetime
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

import openpyxl
import xlsxwriter
from openpyxl.styles import Border, Font, PatternFill, Side

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "grid", "io", "data")


def openpyxl_file(path):
    """Inline strings, absolute relationship targets, styles, widths, hidden rows/columns."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws["A1"] = "name"
    ws["B1"] = "amount"
    ws["C1"] = "hidden column"
    ws["A2"] = "alpha"
    ws["B2"] = 12.5
    ws["A3"] = "beta"
    ws["B3"] = -3
    ws["A4"] = True
    ws["B4"] = "=B2+B3"
    ws["A5"] = "  spaced  "
    ws["B5"] = 0.25
    ws["B5"].number_format = "0.00%"
    ws["A6"] = datetime.date(2024, 3, 1)
    ws["A2"].fill = PatternFill(fill_type="solid", fgColor="FFFF0000", bgColor="FF00FF00")
    ws["A3"].font = Font(color="FF0000FF")
    thin = Side(style="thin", color="FF00FF00")
    ws["B2"].border = Border(left=thin, bottom=Side(style="medium", color="FF112233"))
    ws.column_dimensions["A"].width = 20
    ws.column_dimensions["C"].hidden = True
    ws.row_dimensions[3].hidden = True
    second = wb.create_sheet("Second Sheet")
    second["A1"] = "x"
    second["A2"] = 42
    wb.save(path)


def xlsxwriter_file(path):
    """Cached formula results of every type, rich text, shared strings."""
    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet("Cached")
    ws.write_formula("A1", '=CONCATENATE("ab","cd")', None, "abcd")
    ws.write_formula("A2", "=1=1", None, True)
    ws.write_formula("A3", "=1/0", None, "#DIV/0!")
    ws.write_formula("A4", "=2*21", None, 42)
    ws.write_formula("A5", '=""', None, "")
    bold = wb.add_format({"bold": True})
    red = wb.add_format({"font_color": "red"})
    ws.write_rich_string("B1", "plain ", bold, "bold", red, " red")
    ws.write_string("B2", "")
    ws.write("B3", "shared")
    ws.write("B4", "shared")
    wb.close()


def openpyxl_styled_lines(path):
    """A currency column and a percent row with cells in them that have no format of their
    own. B2 names style 0 (s="0", as .NET and other writers write every cell's style): it
    shows General. C5 names no style (openpyxl writes no s attribute): it shows its row's
    format, as LibreOffice reads both."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Lines"
    ws.column_dimensions["B"].number_format = "$#,##0"
    ws.row_dimensions[5].number_format = "0%"
    ws["B2"] = 0.256407
    ws["B3"] = 1234.5
    ws["B3"].number_format = "$#,##0"   # its own format
    ws["C5"] = 0.5
    ws["A1"] = 7                        # in neither
    tmp = path + ".tmp"
    wb.save(tmp)
    with zipfile.ZipFile(tmp) as src, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as out:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == "xl/worksheets/sheet1.xml":
                data = data.replace(b'<c r="B2" t="n">', b'<c r="B2" s="0" t="n">')
                assert b's="0"' in data
            out.writestr(item, data)
    os.remove(tmp)


def xlsxwriter_1904(path):
    wb = xlsxwriter.Workbook(path, {"date_1904": True})
    ws = wb.add_worksheet("Dates")
    fmt = wb.add_format({"num_format": "yyyy-mm-dd"})
    ws.write_datetime("A1", datetime.datetime(2024, 3, 1), fmt)
    ws.write_datetime("A2", datetime.datetime(1904, 1, 2), fmt)
    wb.close()


def libreoffice_source(path):
    """The workbook LibreOffice converts: numbers, text, dates, a formula, two sheets."""
    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet("First")
    date_fmt = wb.add_format({"num_format": "yyyy-mm-dd"})
    ws.write("A1", "label")
    ws.write("B1", "value")
    ws.write("A2", "pi")
    ws.write_number("B2", 3.25)
    ws.write("A3", "when")
    ws.write_datetime("B3", datetime.datetime(2024, 3, 1), date_fmt)
    ws.write("A4", "sum")
    ws.write_formula("B4", "=B2*2", None, 6.5)
    ws.write("A5", "text formula")
    ws.write_formula("B5", '="x"&"y"', None, "xy")
    for r in range(6, 11):  # a filled-down formula, which LibreOffice may share
        ws.write_number(r - 1, 2, r)
        ws.write_formula(r - 1, 3, "=C%d*10" % r, None, r * 10)
    ws.write_boolean("A12", True)
    ws.write_formula("B12", "=1/0", None, "#DIV/0!")
    ws.write_formula("C12", "=1=1", None, True)
    second = wb.add_worksheet("Zweite Tabelle")
    second.write("A1", "üñí")
    wb.close()


def soffice_convert(source, fmt, out_dir):
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        sys.exit("soffice not found: apt-get install libreoffice-calc-nogui")
    with tempfile.TemporaryDirectory() as profile:
        subprocess.run([soffice, "-env:UserInstallation=file://" + profile, "--headless",
                        "--convert-to", fmt, "--outdir", out_dir, source], check=True,
                       stdout=subprocess.DEVNULL)


def prefixed_file(path):
    """Every spreadsheet part with its namespace on a prefix (<x:worksheet xmlns:x="...">), as
    .NET's Open XML SDK writes them: made by openpyxl, its parts rebuilt with lxml. Merged
    ranges, a row height, a selection and a narrow column (width under 1)."""
    from lxml import etree

    main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "source.xlsx")
        wb = openpyxl.Workbook()
        ws = wb.active
        ws.title = "Prefixed"
        ws["A1"] = "merged"
        ws.merge_cells("A1:C1")
        ws.merge_cells("A3:B4")
        ws["A2"] = 1.5
        ws["D5"] = "selected"
        ws.row_dimensions[2].height = 30
        ws.column_dimensions["B"].width = 0.5
        ws.column_dimensions["C"].width = 11.86
        ws.sheet_view.selection[0].activeCell = "D5"
        ws.sheet_view.selection[0].sqref = "D5"
        wb.save(source)

        def rebuild(element, parent):
            tag = element.tag
            if parent is None:
                nsmap = {("x" if k is None else k): v for k, v in element.nsmap.items()}
                copy = etree.Element(tag, element.attrib, nsmap=nsmap)
            else:
                copy = etree.SubElement(parent, tag, element.attrib)
            copy.text, copy.tail = element.text, element.tail
            for child in element:
                if isinstance(child.tag, str):
                    rebuild(child, copy)
            return copy

        with zipfile.ZipFile(source) as zin, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as zout:
            for item in zin.infolist():
                data = zin.read(item.filename)
                if item.filename.endswith(".xml") and item.filename.startswith("xl/"):
                    root = etree.fromstring(data)
                    if root.nsmap.get(None) == main_ns:
                        data = etree.tostring(rebuild(root, None), xml_declaration=True,
                                              encoding="UTF-8", standalone=True)
                zout.writestr(item, data)


def empty_text_results_source(path):
    """Formulas whose results are empty text, beside one with text, for LibreOffice's .xls."""
    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet("Results")
    ws.write_formula("A1", '=""', None, "")
    ws.write_formula("A2", '=IF(1=1,"","x")', None, "")
    ws.write_formula("A3", '=T(1)', None, "")
    ws.write_formula("B1", '="abc"', None, "abc")
    ws.write_formula("C1", '=LEN(A1)', None, 0)
    wb.close()


def unnamed_columns(path):
    """A data table whose header row leaves column A empty (a formula below tests it) and
    gives column C a formula that shows nothing."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws["B1"] = "name"
    ws["C1"] = '=""'
    ws["A2"] = 1
    ws["B2"] = "=ISBLANK(A1)"
    ws["C2"] = 2
    wb.save(path)


def in_cell_picture(path):
    """A picture placed in a cell, in the parts newer Excel writes (no Debian program writes
    them): the cell's vm attribute points at value metadata, whose rich value is an image.
    Made by openpyxl, the rich-value parts added as Excel lays them out."""
    import base64
    png = base64.b64decode(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==")
    rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "source.xlsx")
        wb = openpyxl.Workbook()
        ws = wb.active
        ws.title = "Pictures"
        ws["A1"] = "logo"
        ws["A2"] = "second"
        ws["B2"] = "#VALUE!"  # placeholder, replaced below by the picture cell
        ws["C2"] = 7
        wb.save(source)
        parts = {
            "xl/metadata.xml":
                '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                '<metadata xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
                'xmlns:xlrd="http://schemas.microsoft.com/office/spreadsheetml/2017/richdata">'
                '<metadataTypes count="1"><metadataType name="XLRICHVALUE" minSupportedVersion="120000" '
                'copy="1" pasteAll="1" pasteValues="1" merge="1" splitFirst="1" rowColShift="1" '
                'clearFormats="1" clearComments="1" assign="1" coerce="1"/></metadataTypes>'
                '<futureMetadata name="XLRICHVALUE" count="1"><bk><extLst>'
                '<ext uri="{3e2802c4-a4d2-4d8b-9148-e3be6c30e623}"><xlrd:rvb i="0"/></ext>'
                '</extLst></bk></futureMetadata>'
                '<valueMetadata count="1"><bk><rc t="1" v="0"/></bk></valueMetadata></metadata>',
            "xl/richData/rdrichvalue.xml":
                '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                '<rvData xmlns="http://schemas.microsoft.com/office/spreadsheetml/2017/richdata" '
                'count="1"><rv s="0"><v>0</v><v>5</v></rv></rvData>',
            "xl/richData/rdrichvaluestructure.xml":
                '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                '<rvStructures xmlns="http://schemas.microsoft.com/office/spreadsheetml/2017/richdata" '
                'count="1"><s t="_localImage"><k n="_rvRel:LocalImageIdentifier" t="i"/>'
                '<k n="CalcOrigin" t="i"/></s></rvStructures>',
            "xl/richData/richValueRel.xml":
                '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                '<richValueRels xmlns="http://schemas.microsoft.com/office/spreadsheetml/2022/richvaluerel" '
                'xmlns:r="%s"><rel r:id="rId1"/></richValueRels>' % rel,
            "xl/richData/_rels/richValueRel.xml.rels":
                '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                '<Relationship Id="rId1" Type="%s/image" Target="../media/image1.png"/>'
                '</Relationships>' % rel,
        }
        workbook_rels = (
            '<Relationship Id="rIdMeta" Type="%s/sheetMetadata" Target="metadata.xml"/>'
            '<Relationship Id="rIdRv" Type="http://schemas.microsoft.com/office/2017/06/relationships/rdRichValue" Target="richData/rdrichvalue.xml"/>'
            '<Relationship Id="rIdRvs" Type="http://schemas.microsoft.com/office/2017/06/relationships/rdRichValueStructure" Target="richData/rdrichvaluestructure.xml"/>'
            '<Relationship Id="rIdRvr" Type="http://schemas.microsoft.com/office/2022/10/relationships/richValueRel" Target="richData/richValueRel.xml"/>'
            % rel)
        types = (
            '<Default Extension="png" ContentType="image/png"/>'
            '<Override PartName="/xl/metadata.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheetMetadata+xml"/>'
            '<Override PartName="/xl/richData/rdrichvalue.xml" ContentType="application/vnd.ms-excel.rdrichvalue+xml"/>'
            '<Override PartName="/xl/richData/rdrichvaluestructure.xml" ContentType="application/vnd.ms-excel.rdrichvaluestructure+xml"/>'
            '<Override PartName="/xl/richData/richValueRel.xml" ContentType="application/vnd.ms-excel.richvaluerel+xml"/>')
        with zipfile.ZipFile(source) as zin, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as zout:
            for item in zin.infolist():
                data = zin.read(item.filename).decode("utf-8")
                if item.filename == "xl/worksheets/sheet1.xml":
                    start = data.index('<c r="B2"')
                    end = data.index("</c>", start) + 4
                    data = data[:start] + '<c r="B2" t="e" vm="1"><v>#VALUE!</v></c>' + data[end:]
                elif item.filename == "xl/_rels/workbook.xml.rels":
                    data = data.replace("</Relationships>", workbook_rels + "</Relationships>")
                elif item.filename == "[Content_Types].xml":
                    data = data.replace("</Types>", types + "</Types>")
                zout.writestr(item, data)
            for name, text in parts.items():
                zout.writestr(name, text)
            zout.writestr("xl/media/image1.png", png)


def lying_sizes_zip(path):
    """A part that declares 1000 bytes but inflates to 40 MB of spaces."""
    body = b'<?xml version="1.0"?><worksheet>' + b" " * (40 << 20) + b"</worksheet>"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("xl/worksheets/sheet1.xml", body)
    data = bytearray(open(path, "rb").read())
    declared = 1000
    # Local file header: uncompressed size at offset 22.
    assert data[0:4] == b"PK\x03\x04"
    struct.pack_into("<I", data, 22, declared)
    # Central directory header: uncompressed size at offset 24.
    cd = data.rfind(b"PK\x01\x02")
    struct.pack_into("<I", data, cd + 24, declared)
    open(path, "wb").write(bytes(data))


def main():
    os.makedirs(DATA, exist_ok=True)
    prefixed_file(os.path.join(DATA, "prefixed_sdk_style.xlsx"))
    in_cell_picture(os.path.join(DATA, "in_cell_picture.xlsx"))
    engine_data = os.path.join(DATA, "..", "..", "engine", "data")
    os.makedirs(engine_data, exist_ok=True)
    unnamed_columns(os.path.join(engine_data, "openpyxl_unnamed_columns.xlsx"))
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "libreoffice_empty_text.xlsx")
        empty_text_results_source(source)
        soffice_convert(source, "xls", DATA)
    if sys.argv[1:] == ["--new"]:
        return  # only the files added last
    openpyxl_file(os.path.join(DATA, "openpyxl_inline.xlsx"))
    xlsxwriter_file(os.path.join(DATA, "xlsxwriter_cached.xlsx"))
    openpyxl_styled_lines(os.path.join(DATA, "openpyxl_styled_lines.xlsx"))
    xlsxwriter_1904(os.path.join(DATA, "xlsxwriter_1904.xlsx"))
    lying_sizes_zip(os.path.join(DATA, "lying_sizes.zip"))
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "libreoffice.xlsx")
        libreoffice_source(source)
        soffice_convert(source, "xls", DATA)
        out = os.path.join(tmp, "out")
        os.makedirs(out)
        soffice_convert(source, "xlsx", out)  # LibreOffice's own .xlsx
        shutil.copy(os.path.join(out, "libreoffice.xlsx"), os.path.join(DATA, "libreoffice.xlsx"))


if __name__ == "__main__":
    main()
