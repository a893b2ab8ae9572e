#!/usr/bin/env bash
# Makes an initialised Wine prefix at DIR (default build-windows/wine-template),
# once: the tests that run the Windows build copy its registry into each of
# their scratch prefixes and link its Windows folder, so that a job starts in
# a fraction of a second instead of setting up a prefix of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-windows/wine-template}
[ -f "$dir/system.reg" ] && [ -d "$dir/drive_c/windows" ] && exit 0
mkdir -p "$(dirname "$dir")"
dir=$(cd "$(dirname "$dir")" && pwd)/$(basename "$dir")
rm -rf "$dir"
# No Mono or Gecko: the jobs need neither, and their installers would ask.
# Wine's server folder goes beside the prefix, not into /tmp.
mkdir -p "$dir.tmp"
export WINEPREFIX="$dir" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TMPDIR="$dir.tmp"
wineboot -i >/dev/null 2>&1
wineserver -w
rm -rf "$dir.tmp" "$dir/wineserver"
test -f "$dir/system.reg"
