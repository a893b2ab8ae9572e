#!/usr/bin/env bash
# Builds locbench and runs the whole test suite three times: a normal build; a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, where any
# sanitizer report fails the run; and the Windows build (MinGW-w64), whose
# .exe files the same tests run under Wine. Every test that runs jobs runs
# there again; the tests of the Linux layer itself do not. In between, every
# reader is fuzzed briefly (build-fuzz, clang's libFuzzer): a few seconds a
# target from the kept corpus, failing the run on any crash.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --tests --windows --wine --fuzz
jobs=$(nproc)
for variant in build build-asan; do
  sanitize=OFF
  [ "$variant" = build-asan ] && sanitize=ON
  echo "== $variant"
  cmake -S . -B "$variant" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCBENCH_SANITIZE=$sanitize >/dev/null
  cmake --build "$variant" -j"$jobs"
  ctest --test-dir "$variant" -j"$jobs" --output-on-failure --timeout 600
done

echo "== build-fuzz, every reader fuzzed for 4 seconds"
fuzz_status=0
scripts/fuzz.sh --check 4 || fuzz_status=$?

echo "== build-windows, its jobs run under Wine"
scripts/build-windows.sh build-windows
scripts/check-exe.sh build-windows/bin build/bin/locbench
scripts/wine-template.sh build-windows/wine-template
export LOCBENCH_WINE_BIN="$PWD/build-windows/bin" LOCBENCH_WINE_TEMPLATE="$PWD/build-windows/wine-template"
# The tests that run no job (the Linux layer called directly, the VCDIFF
# reader and writer and SHA-256 linked in, the README, manual page and
# completion checks) are the Linux build's alone.
status=0
ctest --test-dir build -j"$jobs" --output-on-failure --timeout 600 -E '^(Platform|Wildcards|Cp1251|Console|Io|Readme|Docs|Vcdiff|Sha256)\.' || status=$?
# What could not run under Wine, and why.
awk '/^[0-9]+\/[0-9]+ Testing: /{name=$3} /: Skipped$/{getline why; if (!seen[name]++) print "  skipped under Wine: " name ": " why}' \
  build/Testing/Temporary/LastTest.log | sort | tee build/wine-skipped.txt
echo "$(wc -l <build/wine-skipped.txt) tests skipped under Wine"
[ $fuzz_status -eq 0 ] || { echo "the short fuzzing run found a fault (see above)"; status=1; }
exit $status
