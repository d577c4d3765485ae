#!/usr/bin/env bash
# Costs of choosing rows and of merging many parts with the ddtable command.
#
#   bench/cli_selection.sh PATH/TO/ddtable [ROWS] [PARTS]
#
# 1. --where over ROWS rows (default 100000), 1% of them tagged "smoke": the run with
#    --where Tag=smoke against the same run choosing the same rows by --rows. Both start the
#    same 1% of commands and write the same results; the difference is what evaluating the
#    condition on every row costs.
# 2. merge of PARTS parts (default 100) of a sharded run over PARTS x 100 rows, against
#    reading the same parts (`ddtable show PART SHEET` of each), and merge's peak memory
#    against reading one part. Every part holds every row of the input, so the parts grow
#    with the whole run: PARTS x 100 rows each.
# Whole-process wall times (bash `time`) and peak memory (/usr/bin/time -f %M); run it on a
# quiet machine.
set -euo pipefail
ddtable=${1:?usage: $0 PATH/TO/ddtable [ROWS] [PARTS]}
rows=${2:-100000}
parts=${3:-100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$work" "$rows" "$parts" <<'PY'
import sys, xlsxwriter
work, rows, parts = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
book = xlsxwriter.Workbook(f"{work}/tagged.xlsx")
sheet = book.add_worksheet("Rows")
sheet.write_row(0, 0, ["N", "Tag"])
smoke = []
for n in range(1, rows + 1):
    tag = "smoke, nightly" if n % 100 == 0 else "nightly"
    if n % 100 == 0:
        smoke.append(str(n))
    sheet.write_row(n, 0, [n, tag])
book.close()
open(f"{work}/smoke.rows", "w").write(",".join(smoke))
book = xlsxwriter.Workbook(f"{work}/shards.xlsx")
sheet = book.add_worksheet("P")
sheet.write_row(0, 0, ["N", "Out", "Out_exp"])
for n in range(1, parts * 100 + 1):
    sheet.write_row(n, 0, [n, None, str(n)])
book.close()
PY

TIMEFORMAT='%3R s'
echo "--where Tag=smoke over $rows rows:"
time "$ddtable" -q run "$work/tagged.xlsx" --bp Rows --where Tag=smoke --results "$work/w.xlsx" -- true
echo "--rows choosing the same rows:"
time "$ddtable" -q run "$work/tagged.xlsx" --bp Rows --rows "$(cat "$work/smoke.rows")" --results "$work/r.xlsx" -- true

echo "making $parts parts of $((parts * 100)) rows ..."
for ((i = 1; i <= parts; ++i)); do
  "$ddtable" -q run "$work/shards.xlsx" --bp P --output Out --shard "$i/$parts" --results "$work/part$i.xlsx" -- echo '<N>'
done
echo "merge of $parts parts:"
time /usr/bin/time -f "merge peak %M KiB" "$ddtable" -q merge "$work/merged.xlsx" "$work"/part*.xlsx
echo "reading the same parts (show of each):"
time (for ((i = 1; i <= parts; ++i)); do "$ddtable" show "$work/part$i.xlsx" P --format csv > /dev/null; done)
/usr/bin/time -f "one part read: peak %M KiB" "$ddtable" show "$work/part1.xlsx" P --format csv > /dev/null
