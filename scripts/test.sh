#!/usr/bin/env bash
# Builds locbench and runs the whole test suite twice: a normal build, and a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, where any
# sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --tests
jobs=$(nproc)
for variant in build build-asan; do
  sanitize=OFF
  [ "$variant" = build-asan ] && sanitize=ON
  echo "== $variant"
  cmake -S . -B "$variant" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCBENCH_SANITIZE=$sanitize >/dev/null
  cmake --build "$variant" -j"$jobs"
  ctest --test-dir "$variant" -j"$jobs" --output-on-failure --timeout 600
done
