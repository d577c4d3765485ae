"""Compares our row/column edits of a workbook with the same edits made by LibreOffice.

make ORIGINAL                   writes a workbook (xlsxwriter) with notes, a table, a chart, a
                                picture, conditional formats, validations, merged ranges,
                                hyperlinks and a frozen pane.
compare ORIGINAL OURS EDITS...  LibreOffice (headless, through UNO) opens ORIGINAL, makes
                                EDITS and saves it as .xlsx; it also opens OURS (the same edits
                                made by ddtable) and saves it as .xlsx. openpyxl then reads
                                what both hold at the cells: notes, tables, drawings, chart
                                series, conditional formats, validations, merges and hyperlinks. Prints the differences; exit status 1 when there are any.
EDITS are insert-rows:FIRST:COUNT, delete-rows:..., insert-cols:..., delete-cols:..., lines
from 1, and shifts of cells insert-down:R1:C1:R2:C2, insert-right:..., delete-up:...,
delete-left:..., applied in order to the first sheet.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time


def make(path):
    import struct
    import zlib

    import xlsxwriter

    # A small red PNG, made here so that the test needs no image file.
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + b"\xff\x00\x00" * 16 for _ in range(16))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
    image = os.path.join(os.path.dirname(path) or ".", "anchor_picture.png")
    with open(image, "wb") as f:
        f.write(png)

    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet("Data")
    other = wb.add_worksheet("Summary")
    ws.write_row(0, 0, ["Name", "Qty", "Price", "Note", "Flag"])
    for r in range(1, 40):
        ws.write_row(r, 0, ["item%d" % r, r * 3, r * 1.5, "n%d" % r, r % 2])
    ws.write_comment("B3", "note on B3")
    ws.write_comment("D10", "note on D10")
    ws.write_comment("A22", "note on A22")
    ws.add_table("B13:D17", {"name": "Stock", "columns": [
        {"header": "Qty"}, {"header": "Price"}, {"header": "Note"}]})
    chart = wb.add_chart({"type": "column"})
    chart.add_series({"name": "=Data!$B$1", "categories": "=Data!$A$2:$A$9",
                      "values": "=Data!$B$2:$B$9"})
    # Moved but not sized with its cells: LibreOffice does not size charts with cells, so the
    # sized case (a spreadsheet's default) is checked by the unit tests instead.
    ws.insert_chart("G3", chart, {"object_position": 2})
    other.insert_chart("B2", chart_other(wb))
    ws.insert_image("G20", image)
    red = wb.add_format({"bg_color": "#FFC7CE"})
    # LibreOffice widens a range when lines are inserted right after it, which a spreadsheet
    # does not do for these; the ranges stand apart from the lines the tests insert.
    ws.conditional_format("A2:A30", {"type": "cell", "criteria": ">", "value": 50, "format": red})
    ws.conditional_format("E5:E12", {"type": "formula", "criteria": "=$E5>$B5", "format": red})
    ws.data_validation("E2:E30", {"validate": "list", "source": ["0", "1"]})
    ws.data_validation("F8:F12", {"validate": "integer", "criteria": "between",
                                  "minimum": 1, "maximum": 9})
    ws.merge_range("A32:C33", "merged")
    ws.write_url("D35", "https://example.com/a", string="link a")
    ws.write_url("A38", "internal:Summary!A1", string="to summary")
    # A link to a cell of its own sheet: LibreOffice keeps its target as written when rows
    # move (it names a place, not the cell that was there).
    ws.write_url("B36", "internal:Data!B5", string="to B5")
    ws.freeze_panes(1, 1)
    wb.close()


def chart_other(wb):
    chart = wb.add_chart({"type": "line"})
    chart.add_series({"values": "=Data!$C$2:$C$30"})
    return chart


def start_office(profile):
    import uno
    pipe = "ddt_anchors_%d" % os.getpid()
    proc = subprocess.Popen(
        ["soffice", "--headless", "--invisible", "--norestore", "--nologo", "--nodefault",
         "-env:UserInstallation=" + uno.systemPathToFileUrl(profile),
         "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + 120
    while True:
        try:
            ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            if time.monotonic() > deadline or proc.poll() is not None:
                proc.kill()
                raise SystemExit("LibreOffice did not start")
            time.sleep(0.3)
    desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
    return proc, desktop


def prop(name, value):
    from com.sun.star.beans import PropertyValue
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def load(desktop, path):
    import uno
    return desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(path)), "_blank",
                                        0, (prop("Hidden", True),))


def store(doc, path):
    import uno
    doc.storeToURL(uno.systemPathToFileUrl(os.path.abspath(path)),
                   (prop("FilterName", "Calc MS Excel 2007 XML"),))
    doc.close(True)


def shift_cells(sheet, kind, r1, c1, r2, c2):
    """insert-down, insert-right, delete-up, delete-left over R1:C1..R2:C2 (from 1)."""
    import uno
    from com.sun.star.table import CellRangeAddress
    address = CellRangeAddress(0, c1 - 1, r1 - 1, c2 - 1, r2 - 1)
    if kind.startswith("insert"):
        mode = "DOWN" if kind == "insert-down" else "RIGHT"
        sheet.insertCells(address, uno.Enum("com.sun.star.sheet.CellInsertMode", mode))
    else:
        mode = "UP" if kind == "delete-up" else "LEFT"
        sheet.removeRange(address, uno.Enum("com.sun.star.sheet.CellDeleteMode", mode))


def apply_edits(doc, edits):
    sheet = doc.Sheets.getByIndex(0)
    for edit in edits:
        if edit.count(":") == 4:  # a shift of cells: KIND:R1:C1:R2:C2
            kind, *box = edit.split(":")
            shift_cells(sheet, kind, *map(int, box))
            continue
        kind, first, count = edit.split(":")
        first, count = int(first) - 1, int(count)
        lines = sheet.Rows if kind.endswith("rows") else sheet.Columns
        if kind.startswith("insert"):
            lines.insertByIndex(first, count)
        else:
            lines.removeByIndex(first, count)


def view(path):
    """What openpyxl reads at the cells of a workbook LibreOffice saved."""
    import openpyxl
    wb = openpyxl.load_workbook(path)
    out = {}
    for ws in wb.worksheets:
        v = {}
        v["notes"] = sorted((c.coordinate, c.comment.text.strip())
                            for row in ws.iter_rows() for c in row if c.comment)
        v["tables"] = sorted((t.ref, len(t.tableColumns)) for t in ws.tables.values())

        def anchor(a):
            f = a._from
            to = getattr(a, "to", None)
            return (f.col, f.row) + ((to.col, to.row) if to is not None else ())
        v["images"] = sorted(anchor(i.anchor) for i in ws._images)
        v["charts"] = sorted((anchor(c.anchor),
                              tuple(sorted(s.val.numRef.f for s in c.series if s.val and s.val.numRef)))
                             for c in ws._charts)
        v["conditional_formats"] = sorted(
            (str(cf.sqref), tuple(tuple(r.formula or ()) for r in cf.rules))
            for cf in ws.conditional_formatting)
        v["validations"] = sorted((str(d.sqref), d.type, d.formula1, d.formula2)
                                  for d in ws.data_validations.dataValidation)
        v["merged"] = sorted(str(m) for m in ws.merged_cells.ranges)
        v["hyperlinks"] = sorted((c.coordinate, c.hyperlink.target or c.hyperlink.location or "")
                                 for row in ws.iter_rows() for c in row if c.hyperlink)
        out[ws.title] = v
    return out


def compare(original, ours, edits):
    work = tempfile.mkdtemp(prefix="ddt-anchors-")
    proc = None
    try:
        proc, desktop = start_office(os.path.join(work, "profile"))
        theirs_path = os.path.join(work, "libreoffice_edited.xlsx")
        ours_path = os.path.join(work, "ours_through_libreoffice.xlsx")
        doc = load(desktop, original)
        apply_edits(doc, edits)
        store(doc, theirs_path)
        store(load(desktop, ours), ours_path)
        try:
            desktop.terminate()
        except Exception:
            pass
        theirs, mine = view(theirs_path), view(ours_path)
    finally:
        if proc:
            try:
                proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                proc.kill()
        shutil.rmtree(work, ignore_errors=True)
    differences = []
    for sheet in sorted(set(theirs) | set(mine)):
        a, b = theirs.get(sheet, {}), mine.get(sheet, {})
        for key in sorted(set(a) | set(b)):
            if a.get(key) != b.get(key):
                differences.append("%s %s:\n  LibreOffice: %s\n  ddtable:     %s" %
                                   (sheet, key, json.dumps(a.get(key)), json.dumps(b.get(key))))
    print("\n".join(differences) if differences else json.dumps(mine, sort_keys=True))
    return 1 if differences else 0


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "make":
        make(sys.argv[2])
        sys.exit(0)
    if len(sys.argv) >= 4 and sys.argv[1] == "compare":
        sys.exit(compare(sys.argv[2], sys.argv[3], sys.argv[4:]))
    print(__doc__)
    sys.exit(2)
