#!/usr/bin/env bash
# Runs every fuzz target for a while, each from its committed seeds (fuzz/corpus/<name>) plus
# what earlier runs found (kept in the build directory, never in the source tree).
#   fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET [smoke]
# Fails when a target finds a crash, hang, leak or sanitizer report; the input that did it is
# left in BUILD_DIR/fuzz-artifacts/. In smoke mode (CI) every run starts from the same seed, so
# a failure is reproducible, and an input that is only slow (libFuzzer's timeout) is reported
# without failing the run: CI must not fail on a machine that happens to be slow.
set -euo pipefail
build=${1:?build directory}
seconds=${2:-60}
mode=${3:-full}
smoke_flags=()
timeout_code=70
if [ "$mode" = smoke ]; then
  timeout_code=75
  smoke_flags=(-seed=1 -timeout_exitcode=$timeout_code)
fi
src=$(cd "$(dirname "$0")" && pwd)

# Longest input per target: whole files for the reader, short texts for the rest.
max_len() {
  case $1 in
    workbook_reader) echo 65536 ;;
    *) echo 4096 ;;
  esac
}

mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts"
status=0
for seeds in "$src"/corpus/*/; do
  name=$(basename "$seeds")
  bin="$build/fuzz/fuzz_$name"
  if [ ! -x "$bin" ]; then echo "fuzz: $bin is missing" >&2; exit 1; fi
  work="$build/fuzz-corpus/$name"
  log="$build/fuzz-artifacts/$name.log"
  mkdir -p "$work"
  rc=0
  "$bin" -max_total_time="$seconds" -max_len="$(max_len "$name")" -rss_limit_mb=2048 \
      -timeout=25 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$name-" \
      "${smoke_flags[@]}" "$work" "$seeds" >"$log" 2>&1 || rc=$?
  if [ $rc -eq 0 ]; then
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$name: ${execs:-?} runs in ${seconds}s, no failure"
  elif [ "$mode" = smoke ] && [ $rc -eq $timeout_code ]; then
    echo "fuzz_$name: stopped at a slow input (over 25 s), kept in $build/fuzz-artifacts/; not a failure in smoke mode"
  else
    echo "fuzz_$name: FAILED, see $log" >&2
    grep -A30 -m1 'ERROR\|runtime error\|deadly signal\|timeout\|out-of-memory' "$log" >&2 || tail -40 "$log" >&2
    status=1
  fi
done
exit $status
