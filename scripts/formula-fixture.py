#!/usr/bin/python3
"""A workbook whose formulas read row 1 and cross it, with formulas other programs write
that a small engine may not compute, each with the result the file stores; and a dump of
any workbook's formulas and stored results for comparison.

    /usr/bin/python3 scripts/formula-fixture.py make OUT.xlsx    (needs python3-xlsxwriter)
    /usr/bin/python3 scripts/formula-fixture.py dump FILE.xlsx   (needs python3-openpyxl)
    /usr/bin/python3 scripts/formula-fixture.py arrays FILE.xlsx (the standard library only)

The dump prints one line per used cell of every sheet:
    Sheet!A1<TAB>kind<TAB>formula or value<TAB>stored result
with kind one of formula, array, value; array formulas also give their range.

The arrays listing prints one line per array formula as the package stores it:
    Sheet!A1<TAB>ref<TAB>dynamic or legacy
where dynamic means the cell's cm attribute leads, through the workbook's metadata part,
to an XLDAPR record with fDynamic="1".
"""
import sys


def make(path):
    import xlsxwriter

    wb = xlsxwriter.Workbook(path)
    bold_fill = wb.add_format({"bold": True, "bg_color": "#FFFF00", "border": 1})
    two_places = wb.add_format({"num_format": "0.00"})
    data = wb.add_worksheet("Data")
    other = wb.add_worksheet("Other")

    # Row 1: the parameter names. A number, a formatted number, a styled text, a formula
    # over a range that starts in row 1, and names of columns that hold no data yet.
    data.write_number("A1", 1)
    data.write_number("B1", 10, two_places)
    data.write_string("C1", "Name", bold_fill)
    data.write_formula("D1", "=SUM(B1:B4)", None, 100)
    data.write_string("E1", "Circ")
    data.write_string("F1", "Dyn")
    data.write_string("G1", "Auto")
    data.write_string("H1", "Filter")
    data.write_string("I1", "Spill")
    data.write_string("J1", "Dynamic")

    # Formulas into and across row 1, and the positions they see.
    data.write_formula("A2", "=A1+1", None, 2)
    data.write_formula("A3", "=A2+1", None, 3)
    data.write_formula("A4", "=ROW()", None, 4)
    data.write_formula("A5", "=ROWS(A1:A4)", None, 4)
    data.write_formula("A6", "=OFFSET(A2,-1,0)", None, 1)
    data.write_formula("A7", '=INDIRECT("A1")', None, 1)
    data.write_formula("A8", '=INDIRECT("B"&ROW()-6)', None, 20)
    data.write_number("B2", 20)
    data.write_number("B3", 30)
    data.write_number("B4", 40)
    data.write_formula("B5", "=SUM(B1:B4)", None, 100)
    data.write_formula("B6", "=SUM($B$1:B1)*2", None, 20)

    # Functions and syntax an engine may not have, with the results a spreadsheet stored.
    data.write_formula("C2", "=SUBTOTAL(9,B1:B4)", None, 100)
    data.write_formula("C3", "=SIN(0)", None, 0)
    data.write_formula("C4", "=_xlfn.BASE(10,2)", None, "1010")
    data.write_formula("C5", "=C4&\"!\"", None, "1010!")
    data.write_formula("C6", "=SUM(Table1[[#This Row],[Column1]:[Column3]])", None, 6)
    data.write_formula("C7", "=SUM(B1:B3 B2:B4)", None, 50)
    data.write_formula("C8", "=[1]Sheet1!A1", None, 7)
    data.write_formula("C9", "=C8*2", None, 14)

    # Array formulas: one cell and a column of two.
    data.write_array_formula("D2:D2", "{=SUM(B2:B3*B3:B4)}", None, 1800)
    data.write_array_formula("D3:D4", "{=B2:B3*2}", None, 40)
    data.write_number("D4", 60)

    # A cycle with the results the file stored.
    data.write_formula("E2", "=E3+1", None, 5)
    data.write_formula("E3", "=E2+1", None, 6)

    # A dynamic-array formula from a newer spreadsheet.
    data.write_dynamic_array_formula("F2:F2", "=_xlfn.SINGLE(B2:B4)", None, 20)

    # Array formulas over several cells, each cell with its stored part of the result: a
    # legacy one and a dynamic one.
    data.write_array_formula("I2:I4", "{=B2:B4*2}", None, 40)
    data.write_number("I3", 60)
    data.write_number("I4", 80)
    data.write_dynamic_array_formula("J2:J4", "=B2:B4+1", None, 21)
    data.write_number("J3", 31)
    data.write_number("J4", 41)

    # Whole columns, which take in row 1.
    data.write_formula("G2", "=COUNTA(C:C)", None, 9)

    # Another sheet's references into the data sheet, row 1 included.
    other.write_string("A1", "Ref")
    other.write_string("C1", "Later")  # a name past the last column that holds data
    other.write_formula("A2", "=Data!A1*10", None, 10)
    other.write_formula("A3", "=Data!B1+Data!B2", None, 30)
    other.write_formula("A4", "=SUM(Data!B1:B4)", None, 100)
    other.write_formula("A5", "=COUNTA(Data!A:A)", None, 8)
    other.write_formula("A6", "=SUM(Data!$1:$1)", None, 111)
    wb.close()


def dump(path):
    import openpyxl

    try:  # openpyxl 3.1 gives array formulas a type of their own
        from openpyxl.worksheet.formula import ArrayFormula
    except ImportError:
        ArrayFormula = ()

    wb = openpyxl.load_workbook(path)
    values = openpyxl.load_workbook(path, data_only=True)
    for ws in wb.worksheets:
        wv = values[ws.title]
        for row in ws.iter_rows():
            for cell in row:
                if cell.value is None:
                    continue
                stored = wv[cell.coordinate].value
                attributes = getattr(ws, "formula_attributes", {}).get(cell.coordinate, {})
                if ArrayFormula and isinstance(cell.value, ArrayFormula):
                    kind, text = "array " + cell.value.ref, cell.value.text
                elif attributes.get("t") == "array":
                    kind, text = "array " + attributes.get("ref", ""), cell.value
                elif isinstance(cell.value, str) and cell.value.startswith("="):
                    kind, text = "formula", cell.value
                else:
                    kind, text = "value", repr(cell.value)
                print("%s!%s\t%s\t%s\t%r" % (ws.title, cell.coordinate, kind, text, stored))
        for ref in ["A1", "B1", "C1"]:
            c = ws[ref]
            print("%s!%s.look\t%s\t%s\t%s" % (ws.title, ref, c.fill.fill_type,
                                             c.fill.fgColor.rgb, c.number_format))


def arrays(path):
    import posixpath
    import re
    import zipfile
    from xml.etree import ElementTree

    main = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
    dyn = "{http://schemas.microsoft.com/office/spreadsheetml/2017/dynamicarray}"
    rel = "{http://schemas.openxmlformats.org/package/2006/relationships}"
    with zipfile.ZipFile(path) as z:
        book = ElementTree.fromstring(z.read("xl/workbook.xml"))
        rels = ElementTree.fromstring(z.read("xl/_rels/workbook.xml.rels"))
        # Targets are relative to xl/, or absolute from the package root.
        targets = {r.get("Id"): posixpath.normpath(posixpath.join("xl", r.get("Target"))).lstrip("/")
                   for r in rels.iter(rel + "Relationship")}
        # Cell-metadata indexes (from 1) that mark a dynamic array.
        dynamic = set()
        meta = [t for r, t in ((r, targets[r.get("Id")]) for r in rels.iter(rel + "Relationship"))
                if r.get("Type").endswith("/sheetMetadata")]
        if meta:
            m = ElementTree.fromstring(z.read(meta[0]))
            types = [t.get("name") for t in m.iter(main + "metadataType")]
            flags = []
            for fm in m.iter(main + "futureMetadata"):
                if fm.get("name") == "XLDAPR":
                    for bk in fm.iter(main + "bk"):
                        p = bk.find(".//" + dyn + "dynamicArrayProperties")
                        flags.append(p is not None and p.get("fDynamic") in ("1", "true"))
            cells = m.find(main + "cellMetadata")
            for i, bk in enumerate(cells.iter(main + "bk") if cells is not None else []):
                rc = bk.find(main + "rc")
                t, v = int(rc.get("t")), int(rc.get("v"))
                if types[t - 1] == "XLDAPR" and v < len(flags) and flags[v]:
                    dynamic.add(i + 1)
        rid = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}id"
        for sheet in book.iter(main + "sheet"):
            xml = ElementTree.fromstring(z.read(targets[sheet.get(rid)]))
            for c in xml.iter(main + "c"):
                f = c.find(main + "f")
                if f is None or f.get("t") != "array":
                    continue
                cm = c.get("cm")
                kind = "dynamic" if cm and int(cm) in dynamic else "legacy"
                print("%s!%s\t%s\t%s" % (sheet.get("name"), c.get("r"), f.get("ref"), kind))


if __name__ == "__main__":
    modes = {"make": make, "dump": dump, "arrays": arrays}
    if len(sys.argv) != 3 or sys.argv[1] not in modes:
        sys.exit(__doc__)
    modes[sys.argv[1]](sys.argv[2])
