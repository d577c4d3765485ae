#!/bin/sh
# Remakes the orders_*.csv fixtures: a workbook written by openpyxl, saved as delimited text
# by LibreOffice in three dialects (filter options: separator code, quote code, character
# set 76 UTF-8 / 1 Windows-1252 / 65535 UTF-16, first line, ..., quote all text cells).
set -e
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
/usr/bin/python3 - <<'PY'
import openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Orders"
ws.append(["Code", "Card", "Price", "Customer", "Note"])
ws.append(["007", "4111111111111111", 12.5, "Zoë Café", 'say "hi"; then go'])
ws.append(["042", "5500000000000004", 3, "Jürgen Øster", "a,b"])
ws.append(["100", "", 0.1, "€uro", "x"])
wb.save("orders.xlsx")
PY
export HOME="$work"
filter='csv:Text - txt - csv (StarCalc)'
soffice --headless --convert-to "$filter:59,34,76,1,,0,true" --outdir semi orders.xlsx >/dev/null
soffice --headless --convert-to "$filter:9,34,1,1" --outdir tab orders.xlsx >/dev/null
soffice --headless --convert-to "$filter:44,34,65535,1" --outdir utf16 orders.xlsx >/dev/null
cp semi/orders.csv "$here/orders_semicolon_utf8.csv"
cp tab/orders.csv "$here/orders_tab_windows1252.csv"
cp utf16/orders.csv "$here/orders_comma_utf16.csv"
