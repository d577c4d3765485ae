#!/usr/bin/python3
"""Compares two workbooks as openpyxl reads them: sheets and their states, cell values and
formats, and the sheet- and workbook-level settings a round trip must keep. Prints one line
per difference and exits 1 when there is any.

    compare_workbooks.py ORIGINAL SAVED [SHEET!CELL ...]

Cells named after the files are expected to differ in value (the test changed them).
"""
import sys
import warnings

import openpyxl

warnings.simplefilter("ignore")


def font(f):
    return (f.name, f.sz, f.b, f.i, f.u, f.strike, f.color.rgb if f.color else None,
            f.color.theme if f.color else None)


def fill(f):
    return (f.fill_type, getattr(f, "patternType", None),
            f.fgColor.rgb if getattr(f, "fgColor", None) else None,
            f.bgColor.rgb if getattr(f, "bgColor", None) else None, type(f).__name__)


def side(s):
    return (s.style, s.color.rgb if s and s.color else None) if s else None


def border(b):
    return (side(b.left), side(b.right), side(b.top), side(b.bottom), side(b.diagonal),
            b.diagonalUp, b.diagonalDown)


def alignment(a):
    return (a.horizontal, a.vertical, a.wrap_text, a.indent, a.text_rotation, a.shrink_to_fit)


def protection(p):
    return (p.locked, p.hidden)


def sheet_facts(ws):
    facts = {"state": ws.sheet_state, "kind": type(ws).__name__}
    if not hasattr(ws, "merged_cells"):
        return facts
    facts["merged"] = sorted(str(r) for r in ws.merged_cells.ranges)
    facts["validations"] = sorted((str(v.sqref), v.type, v.formula1, v.formula2, v.operator)
                                  for v in ws.data_validations.dataValidation)
    facts["conditional"] = sorted((str(r.sqref), tuple((x.type, x.operator, tuple(x.formula or ()))
                                                       for x in rules))
                                  for r, rules in ws.conditional_formatting._cf_rules.items())
    facts["links"] = sorted((c.coordinate, c.hyperlink.target, c.hyperlink.location)
                            for row in ws.iter_rows() for c in row if c.hyperlink)
    facts["comments"] = sorted((c.coordinate, c.comment.text, c.comment.author)
                               for row in ws.iter_rows() for c in row if c.comment)
    facts["freeze"] = ws.freeze_panes
    facts["filter"] = ws.auto_filter.ref
    facts["tab"] = ws.sheet_properties.tabColor.rgb if ws.sheet_properties.tabColor else None
    facts["outline"] = sorted((i, d.height, d.outlineLevel, d.hidden, d.collapsed)
                              for i, d in ws.row_dimensions.items()
                              if d.height or d.outlineLevel or d.hidden or d.collapsed)
    facts["columns"] = sorted((k, round(d.width or 0, 2), d.outlineLevel, d.hidden)
                              for k, d in ws.column_dimensions.items()
                              if d.outlineLevel or d.hidden or d.customWidth)
    facts["protection"] = (ws.protection.sheet, ws.protection.formatCells, ws.protection.sort)
    facts["page"] = (ws.page_setup.orientation, ws.page_setup.paperSize, ws.page_setup.fitToWidth,
                     ws.page_setup.fitToHeight, ws.page_margins.left, ws.page_margins.top,
                     ws.oddHeader.left.text, ws.oddHeader.center.text, ws.oddFooter.center.text)
    facts["print"] = (str(ws.print_area), str(ws.print_title_rows))
    facts["tables"] = sorted((t.name, t.ref) for t in ws.tables.values())
    facts["images"] = len(ws._images)
    return facts


def cells(ws):
    out = {}
    if not hasattr(ws, "iter_rows"):
        return out
    for row in ws.iter_rows():
        for c in row:
            if c.value is None and not c.has_style:
                continue
            out[c.coordinate] = (c.value, c.data_type, c.number_format, font(c.font), fill(c.fill),
                                 border(c.border), alignment(c.alignment), protection(c.protection),
                                 c.quotePrefix)
    return out


def names(wb):
    out = []
    for n in wb.defined_names.values() if hasattr(wb.defined_names, "values") else wb.defined_names.definedName:
        out.append((n.name, n.attr_text, n.localSheetId))
    for ws in wb.worksheets:
        for n in getattr(ws, "defined_names", {}).values():
            if n.name.startswith("_xlnm"):
                continue  # print settings: compared with the sheet
            out.append((ws.title + "!" + n.name, n.attr_text))
    return sorted(map(str, out))


def main():
    original, saved = sys.argv[1], sys.argv[2]
    changed = set(sys.argv[3:])
    a = openpyxl.load_workbook(original)
    b = openpyxl.load_workbook(saved)
    problems = []
    if a.sheetnames != b.sheetnames:
        problems.append("sheets: %s != %s" % (a.sheetnames, b.sheetnames))
    if a.active.title != b.active.title:
        problems.append("active sheet: %s != %s" % (a.active.title, b.active.title))
    if names(a) != names(b):
        problems.append("names: %s != %s" % (names(a), names(b)))
    pa, pb = a.properties, b.properties
    for key in ("title", "creator", "description"):
        if getattr(pa, key) != getattr(pb, key):
            problems.append("property %s: %r != %r" % (key, getattr(pa, key), getattr(pb, key)))
    for title in a.sheetnames:
        if title not in b.sheetnames:
            continue
        fa, fb = sheet_facts(a[title]), sheet_facts(b[title])
        for key in fa:
            if fa[key] != fb.get(key):
                problems.append("%s %s: %r != %r" % (title, key, fa[key], fb.get(key)))
        ca, cb = cells(a[title]), cells(b[title])
        for ref in sorted(set(ca) | set(cb)):
            x, y = ca.get(ref), cb.get(ref)
            if title + "!" + ref in changed and x and y:
                x, y = x[1:], y[1:]  # the value changed; the format did not
                x, y = x[1:], y[1:]
            if x != y:
                problems.append("%s!%s: %r != %r" % (title, ref, x, y))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
