#!/usr/bin/env bash
# Fuzzes every reader: builds the libFuzzer targets (clang, build-fuzz) and
# runs each one for SECONDS (default 180), one after another, from its seeds
# (made at build time), the corpus kept in fuzz/corpus/NAME and its
# dictionary fuzz/dict/NAME.dict. Before it fuzzes, a target runs once over
# every input of fuzz/regressions/NAME, the faults found before.
#
#   scripts/fuzz.sh [--check] [SECONDS] [NAME...]
#
# What a run finds is kept: new inputs join fuzz/corpus/NAME, which is then
# merged down to the inputs that add coverage; an input that crashes a
# target is copied to fuzz/regressions/NAME (and the run fails). --check, the
# test command's short run, keeps nothing in the repository: it fails on any
# crash, leaving the input in build-fuzz/findings/NAME. The table of the
# run (executions per second, edges covered) goes to build-fuzz/fuzz-stats.md.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
seconds=180
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi

scripts/deps.sh --fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCBENCH_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets >/dev/null

names=("$@")
[ ${#names[@]} -gt 0 ] || mapfile -t names <build-fuzz/fuzz_targets.txt
stats=build-fuzz/fuzz-stats.md
{
  echo "| target | seconds | executions | exec/s | edges | features | corpus |"
  echo "| --- | ---: | ---: | ---: | ---: | ---: | ---: |"
} >"$stats"
failed=()
for name in "${names[@]}"; do
  bin=$root/build-fuzz/fuzz/fuzz_$name
  seeds=$root/build-fuzz/fuzz/seeds/$name
  kept=$root/fuzz/corpus/$name
  found=$root/build-fuzz/findings/$name
  mkdir -p "$seeds" "$kept" "$found"
  # The targets' own options ("name = value" lines of fuzz/targets/NAME.options).
  opts=(-timeout=25 -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$found/")
  [ -f "fuzz/dict/$name.dict" ] && opts+=(-dict="$root/fuzz/dict/$name.dict")
  if [ -f "fuzz/targets/$name.options" ]; then
    while IFS='= ' read -r key value; do
      [[ -z "$key" || "$key" == \#* || "$key" == \[* ]] && continue
      opts+=("-$key=$value")
    done <"fuzz/targets/$name.options"
  fi

  # The faults found before.
  regressions=("$root"/fuzz/regressions/"$name"/*)
  if [ -e "${regressions[0]}" ]; then
    if ! "$bin" "${opts[@]}" "${regressions[@]}" >"$found/regressions.log" 2>&1; then
      echo "$name: a regression input crashes it again, see $found/regressions.log"
      failed+=("$name")
      continue
    fi
  fi

  # New inputs go to a folder of their own, merged into the kept corpus after.
  work=$(mktemp -d)
  log=$found/fuzz.log
  status=0
  "$bin" "${opts[@]}" -max_total_time="$seconds" "$work" "$kept" "$seeds" >"$log" 2>&1 || status=$?
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
  if [ $status -ne 0 ]; then
    artifact=$(sed -n "s/.*Test unit written to \(.*\)/\1/p" "$log" | tail -1)
    echo "$name: FAILED (exit $status), input ${artifact:-?}; log $log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -3 || true
    if [ $check -eq 0 ] && [ -n "$artifact" ] && [ -f "$artifact" ]; then
      mkdir -p "fuzz/regressions/$name"
      cp "$artifact" "fuzz/regressions/$name/"
    fi
    failed+=("$name")
  fi
  if [ $check -eq 0 ]; then
    # The kept corpus: what adds coverage of everything seen, nothing more.
    merged=$(mktemp -d)
    "$bin" "${opts[@]}" -merge=1 "$merged" "$kept" "$work" >"$found/merge.log" 2>&1 &&
      { rm -rf "$kept"; mv "$merged" "$kept"; } || rm -rf "$merged"
  fi
  rm -rf "$work"
  corpus=$(find "$kept" -type f | wc -l)
  printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$seconds" "${execs:-?}" "${rate:-?}" "${cov:-?}" \
    "${ft:-?}" "$corpus" >>"$stats"
  echo "$name: ${execs:-?} executions, ${rate:-?}/s, ${cov:-?} edges"
done
cat "$stats"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
