"""Prints (JSON) what openpyxl and LibreOffice read of a workbook's defined names.

defined_names_check.py PATH

openpyxl: the names with their texts, and each sheet's print area and print titles.
LibreOffice (headless, converting to .ods in a temporary profile): whether it opened the
file, each sheet's print ranges, and the names it kept. Exit status 1 when openpyxl refuses
the file.
"""
import json
import os
import subprocess
import sys
import tempfile
import warnings
import xml.etree.ElementTree as ET
import zipfile

TABLE = "urn:oasis:names:tc:opendocument:xmlns:table:1.0"


def read_openpyxl(path):
    import openpyxl
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        wb = openpyxl.load_workbook(path)
    names = {d.name: d.attr_text for d in wb.defined_names.definedName}
    sheets = {}
    for ws in wb.worksheets:
        sheets[ws.title] = {"area": ws.print_area or None, "rows": ws.print_title_rows,
                            "cols": ws.print_title_cols}
    return {"names": names, "sheets": sheets}


def read_libreoffice(path):
    with tempfile.TemporaryDirectory() as tmp:
        profile = "file://" + os.path.join(tmp, "profile")
        subprocess.run(["soffice", "-env:UserInstallation=" + profile, "--headless",
                        "--convert-to", "ods", "--outdir", tmp, path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        ods = os.path.join(tmp, os.path.splitext(os.path.basename(path))[0] + ".ods")
        if not os.path.exists(ods):
            return {"opened": False}
        root = ET.fromstring(zipfile.ZipFile(ods).read("content.xml"))
    ranges, names = {}, {}
    for table in root.iter("{%s}table" % TABLE):
        ranges[table.get("{%s}name" % TABLE)] = table.get("{%s}print-ranges" % TABLE)
    for tag, attr in (("named-range", "cell-range-address"), ("named-expression", "expression")):
        for n in root.iter("{%s}%s" % (TABLE, tag)):
            names[n.get("{%s}name" % TABLE)] = n.get("{%s}%s" % (TABLE, attr))
    return {"opened": True, "print_ranges": ranges, "names": names}


def main():
    path = sys.argv[1]
    try:
        facts = {"openpyxl": read_openpyxl(path)}
    except Exception as e:  # what openpyxl refuses is the finding
        print(json.dumps({"openpyxl_error": "%s: %s" % (type(e).__name__, e)}))
        return 1
    facts["libreoffice"] = read_libreoffice(path)
    print(json.dumps(facts, sort_keys=True))
    return 0


if __name__ == "__main__":
    sys.exit(main())
