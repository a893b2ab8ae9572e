#!/usr/bin/env bash
# The long run of the damaged-input checks: every job on many more damaged
# variants of its inputs than the test suite's fixed selection, in the
# sanitizer build. ROUNDS scales the random variants (default 20), SEED
# changes them (default: a new one each run, printed).
#
#   scripts/damage.sh [ROUNDS] [SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-20}
seed=${2:-$RANDOM$RANDOM}
scripts/deps.sh --tests
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCBENCH_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$(nproc)"
echo "damage rounds $rounds, seed $seed"
LOCBENCH_DAMAGE_ROUNDS=$rounds LOCBENCH_DAMAGE_SEED=$seed \
  ctest --test-dir build-asan -j"$(nproc)" --output-on-failure -R 'Damage' --timeout 3600
