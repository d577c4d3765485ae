#!/usr/bin/env bash
# Runs every fuzz target, each from its committed seeds (fuzz/corpus/<name>) and with its
# dictionary (fuzz/<name>.dict) when it has one.
#   fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET     a long run: for SECONDS per target, adding
#                                                what it finds to BUILD_DIR/fuzz-corpus/<name>
#                                                (never to the source tree) for the next run
#   fuzz/run.sh BUILD_DIR smoke                  the CI run: a fixed number of executions per
#                                                target from a fixed seed and the seeds alone
# Fails when a target finds a crash, hang, leak, out-of-memory or sanitizer report; the input
# that did it is left in BUILD_DIR/fuzz-artifacts/. The smoke run repeats: the same seed, the
# same starting corpus (a fresh directory), scratch files of fixed names, no corpus reloads
# and a count of executions instead of a time (targets whose library code reads the clock,
# results_text and formula, still differ a little between runs). Its time limit per input
# (60 s) and per target (an upper bound that only a very slow machine reaches: the run then
# stops early, reported, not failed) leave room for a loaded machine; the long run stops an
# input after 10 s.
set -euo pipefail
build=${1:?build directory}
mode=full
seconds=${2:-60}
if [ "$seconds" = smoke ]; then mode=smoke; fi
src=$(cd "$(dirname "$0")" && pwd)

# Longest input per target: whole files for the readers, short texts for the rest.
max_len() {
  case $1 in
    workbook_reader | xls_reader) echo 65536 ;;
    *) echo 4096 ;;
  esac
}

# Executions of the smoke run per target: about 20 s each on an idle 2-core machine.
smoke_runs() {
  case $1 in
    workbook_reader) echo 4000 ;;
    xls_reader) echo 6000 ;;
    xml_pipeline) echo 20000 ;;
    sheet_scanner) echo 50000 ;;
    formula) echo 20000 ;;
    results_text) echo 40000 ;;
    profile) echo 15000 ;;
    *) echo 100000 ;;
  esac
}

mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts"
status=0
for seeds in "$src"/corpus/*/; do
  name=$(basename "$seeds")
  bin="$build/fuzz/fuzz_$name"
  if [ ! -x "$bin" ]; then echo "fuzz: $bin is missing" >&2; exit 1; fi
  log="$build/fuzz-artifacts/$name.log"
  flags=(-max_len="$(max_len "$name")" -rss_limit_mb=2048 -print_final_stats=1
         -artifact_prefix="$build/fuzz-artifacts/$name-")
  if [ -f "$src/$name.dict" ]; then flags+=(-dict="$src/$name.dict"); fi
  if [ "$mode" = smoke ]; then
    work="$build/fuzz-smoke-corpus/$name"
    rm -rf "$work" "$build/fuzz-smoke-scratch/$name"
    mkdir -p "$build/fuzz-smoke-scratch/$name"
    export DDT_FUZZ_SCRATCH="$build/fuzz-smoke-scratch/$name"
    # -reload=0: the corpus is not re-read every second (a timing the run would depend on).
    flags+=(-seed=1 -reload=0 -runs="$(smoke_runs "$name")" -max_total_time=300 -timeout=60)
  else
    work="$build/fuzz-corpus/$name"
    flags+=(-max_total_time="$seconds" -timeout=10)
  fi
  mkdir -p "$work"
  rc=0
  "$bin" "${flags[@]}" "$work" "$seeds" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ $rc -eq 0 ]; then
    took=$(sed -n 's/.*Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
    echo "fuzz_$name: ${execs:-?} runs in ${took:-$seconds} s, no failure"
    if [ "$mode" = smoke ] && [ "${execs:-0}" -lt "$(smoke_runs "$name")" ]; then
      echo "fuzz_$name: stopped at the time limit before its $(smoke_runs "$name") runs (a slow machine)"
    fi
  else
    echo "fuzz_$name: FAILED after ${execs:-?} runs, see $log" >&2
    grep -A30 -m1 'ERROR\|runtime error\|deadly signal\|timeout\|out-of-memory' "$log" >&2 || tail -40 "$log" >&2
    status=1
  fi
done
exit $status
