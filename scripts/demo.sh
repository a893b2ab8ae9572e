#!/usr/bin/env bash
# Builds locbench and runs it (the PAK patch job) on the bundled sample game:
# a small Brassjaw tree with main/pak0.pak and a translated menu in rus/.
# The sample is copied into build-demo/prefix, a Windows prefix as Wine lays
# it out, so the bundled files stay as they are. Shows the archive and what
# locbench status says of the PAK chain before and after, and the translated
# member read back from the patched archive.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCBENCH_TESTS=OFF >/dev/null
cmake --build build-demo -j"$(nproc)" --target locbench make_sample paklist >/dev/null

prefix="$PWD/build-demo/prefix"
game="$prefix/dosdevices/c:/games/Brassjaw"
rm -rf "$prefix"
mkdir -p "$prefix/dosdevices/c:/games"
cp -r sample/Brassjaw "$prefix/dosdevices/c:/games/"
mkdir -p "$game/bin" "$game/xfiles/pak" # the folders the jobs run in and write to

# The PAK chain as locbench status shows it (its other chains: nothing of
# them is in the sample), and its exit code.
status() {
  local code=0
  WINEPREFIX="$prefix" build-demo/bin/locbench status >"$prefix/status.txt" || code=$?
  sed -n '/^PAK archive/,/^$/p' "$prefix/status.txt"
  tail -n 1 "$prefix/status.txt"
  echo "(exit code $code)"
}

echo "== sample game: $game"
echo "-- main/pak0.pak before:"
build-demo/tools/paklist "$game/main/pak0.pak"
echo "-- replacements in rus/:"
ls -l "$game/rus" | tail -n +2
echo "-- locbench status before:"
status
echo "-- running locbench in bin/ (WINEPREFIX=$prefix):"
(cd "$game/bin" && WINEPREFIX="$prefix" "$OLDPWD/build-demo/bin/locbench"; echo "exit code $?")
echo "-- main/pak0.pak after:"
build-demo/tools/paklist "$game/main/pak0.pak"
echo "-- text/menu.txt in the patched archive (Windows-1251, shown as UTF-8):"
build-demo/tools/paklist "$game/main/pak0.pak" text/menu.txt | iconv -f CP1251 -t UTF-8 | tr -d '\r'
echo "-- locbench status after:"
status
