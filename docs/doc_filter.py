#!/usr/bin/env python3
"""Doxygen input filter for the public headers.

The headers are documented with plain comments: a comment block right above a declaration
says what it does, a comment after a member on the same line describes that member, and
the first comment of a file describes the file. This filter turns those comments into
Doxygen comments on the fly, so the headers stay as they are. Section rulers
("// --- Sheets ---", "/* ---- ... */") stay plain comments. Characters Doxygen would read
as commands or HTML inside comment text (@ \\ < > & #) are escaped.
"""
import re
import sys

ESCAPES = str.maketrans({"@": "\\@", "\\": "\\\\", "<": "\\<", ">": "\\>", "&": "\\&",
                         "#": "\\#"})
RULER = re.compile(r"^\s*(//|/\*)\s*-{2,}")
LINE_COMMENT = re.compile(r"^(\s*)//\s?(.*)$")
TRAILING = re.compile(r"^(\s*[^\s/].*?[;,{)])\s+//\s?(.*)$")
C_OPEN = re.compile(r"^(\s*)/\*\s?(.*)$")


def escape(text):
    # Doxygen leaves text inside double quotes alone, so only the parts outside are escaped.
    parts = text.split('"')
    return '"'.join(p if i % 2 else p.translate(ESCAPES) for i, p in enumerate(parts))


def main(path):
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    out = []
    banner = True       # still in the comment that opens the file
    in_c_comment = False
    for line in lines:
        if in_c_comment:
            end = line.find("*/")
            body, rest = (line, "") if end < 0 else (line[:end], line[end:])
            out.append(escape(body) + rest)
            in_c_comment = end < 0
            continue
        if RULER.match(line):
            out.append(line)
            banner = False
            continue
        m = LINE_COMMENT.match(line)
        if m:
            if banner:
                out.append(m.group(1) + "/// @file")
                banner = False
            out.append(m.group(1) + "/// " + escape(m.group(2)))
            continue
        m = C_OPEN.match(line)
        if m and not line.lstrip().startswith("/**"):
            text = m.group(2)
            end = text.find("*/")
            body, rest = (text, "") if end < 0 else (text[:end], text[end:])
            if banner:
                out.append(m.group(1) + "/**")
                out.append(m.group(1) + " * @file")
                out.append(m.group(1) + " * " + escape(body) + rest)
                banner = False
            else:
                out.append(m.group(1) + "/** " + escape(body) + rest)
            in_c_comment = end < 0
            continue
        if line.strip():
            banner = False
        m = TRAILING.match(line)
        if m and '"' not in m.group(1):
            out.append(m.group(1) + " ///< " + escape(m.group(2)))
            continue
        out.append(line)
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main(sys.argv[1])
