#!/usr/bin/env bash
# Overhead of `ddtable run`, from whole-process wall times. Each comparison is paired: its two
# sides run one after the other, REPEAT times (default 5), and the median of the ratios is
# printed, so that a machine shared with other work moves both sides alike.
#
#   1. a run over ROWS rows (default 1000) of the trivial command `true`, against a shell
#      loop that starts `true` as many times (the cost per row of the run itself);
#   2. --jobs 2 against --jobs 1 over ROWS2 rows (default 300) with a command that takes
#      real time per row: `sh -c 'sleep SLEEP; echo ...'` (SLEEP default 0.01 s), its output
#      checked against an expected column;
#   3. --jobs 2 against --jobs 1 with `true` (bound by how fast the machine starts programs).
#
#   bench/cli_run_overhead.sh build/release/tools/ddtable/ddtable [ROWS] [REPEAT]
#   SLEEP=0.02 ROWS2=200 bench/cli_run_overhead.sh ...
set -euo pipefail
ddtable=${1:?usage: $0 PATH/TO/ddtable [ROWS] [REPEAT]}
rows=${2:-1000}
repeat=${3:-5}
rows2=${ROWS2:-300}
pause=${SLEEP:-0.01}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$work" "$rows" "$rows2" <<'PY'
import sys, openpyxl
def write(path, count, checked):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "Rows"
    sheet.append(["N", "Out", "Out_exp"] if checked else ["N"])
    for n in range(1, count + 1):
        sheet.append([n, None, f"row {n}"] if checked else [n])
    book.save(path)
write(sys.argv[1] + "/rows.xlsx", int(sys.argv[2]), False)
write(sys.argv[1] + "/checked.xlsx", int(sys.argv[3]), True)
PY

now() { date +%s%N; }
# seconds FUNCTION: runs it, prints its wall time in seconds
seconds() {
  local start end
  start=$(now)
  "$@" > /dev/null
  end=$(now)
  echo "$(( (end - start) / 1000 ))e-6"
}
# paired LABEL_A FUNCTION_A LABEL_B FUNCTION_B: both REPEAT times, then the median of B/A
paired() {
  local ratios=() a b
  for ((k = 0; k < repeat; ++k)); do
    a=$(seconds "$2")
    b=$(seconds "$4")
    ratios+=("$a $b")
    printf '  %-28s %7.3f s   %-28s %7.3f s\n' "$1" "$a" "$3" "$b"
  done
  printf '%s\n' "${ratios[@]}" | /usr/bin/python3 -c '
import sys, statistics
pairs = [tuple(map(float, line.split())) for line in sys.stdin if line.strip()]
ratios = sorted(b / a for a, b in pairs)
print(f"  {sys.argv[2]} / {sys.argv[1]}: median {statistics.median(ratios):.3f}x "
      f"(from {ratios[0]:.3f}x to {ratios[-1]:.3f}x over {len(ratios)} pairs)")' "$1" "$3"
}

shell_true() { for ((i = 0; i < rows; ++i)); do /bin/true; done; }  # /bin/true: the builtin starts nothing
run_true_1() { "$ddtable" --quiet run "$work/rows.xlsx" --bp Rows --results "$work/t1.xlsx" -- true; }
run_true_2() { "$ddtable" --quiet run "$work/rows.xlsx" --bp Rows --results "$work/t2.xlsx" --jobs 2 -- true; }
slow() {
  "$ddtable" --quiet run "$work/checked.xlsx" --bp Rows --results "$work/s$1.xlsx" --jobs "$1" \
    --output Out -- sh -c "sleep $pause; echo \"row \$1\"" sh '<N>'
}
slow_1() { slow 1; }
slow_2() { slow 2; }

echo "1. $rows rows of true: shell loop against ddtable run"
paired "shell loop" shell_true "ddtable run" run_true_1
echo "2. $rows2 rows of sleep $pause + echo, output checked: --jobs 1 against --jobs 2"
paired "--jobs 1" slow_1 "--jobs 2" slow_2
echo "3. $rows rows of true: --jobs 1 against --jobs 2"
paired "--jobs 1" run_true_1 "--jobs 2" run_true_2
