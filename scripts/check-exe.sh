#!/usr/bin/env bash
# Checks the .exe files of a Windows build: each is a Windows executable that
# needs no DLL but the system's own (KERNEL32 and msvcrt; bcrypt as well for
# the programs that compute SHA-256), and carries its file details, read back
# with windres: the version resource (the job's name and purpose as its
# --help tells them, the version, the copyright line of LICENSE) and the
# manifest packaging/windows/locbench.manifest, byte for byte.
#
#   scripts/check-exe.sh EXE_FOLDER LOCBENCH
#
# LOCBENCH is a Linux build's locbench of the same sources, which tells each
# job's purpose and the version. Exits 1 at the first fault, naming it.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1 locbench=$2
fail() { echo "check-exe.sh: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
version=$("$locbench" --version | sed -n 's/^locbench \([^ ]*\) .*/\1/p')
copyright_line=$(sed -n 's/^\(Copyright (c) .*\)$/\1/p' LICENSE | sed -n 1p)
rc_text() { sed 's/\\/\\\\/g; s/"/""/g'; }
count=0
for exe in "$dir"/*.exe; do
  name=$(basename "$exe" .exe)
  [ "$(head -c 2 "$exe")" = MZ ] || fail "$name.exe is not a Windows executable"
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -u | tr '\n' ' ')
  # The programs that check files by their SHA-256 (locbench, and the
  # installer and uninstaller of a release) may take it from bcrypt.dll, a
  # system DLL as well; the jobs never do.
  case "$name" in
    locbench | install | uninstall) dlls=$(printf '%s' "$dlls" | sed 's/\bbcrypt\.dll //I') ;;
  esac
  [ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "$name.exe needs $dlls"
  x86_64-w64-mingw32-windres -i "$exe" -O rc >"$tmp/rc" 2>&1 || fail "$name.exe: $(cat "$tmp/rc")"
  if [ "$name" = locbench ]; then
    grep -q '^      VALUE "FileDescription", "locbench: ' "$tmp/rc" || fail "locbench.exe describes itself otherwise"
  else
    what=$("$locbench" "$name" --help | sed -n '1{s/^locbench //;s/\.$//;p;}' | rc_text)
    grep -qxF "      VALUE \"FileDescription\", \"$what\"" "$tmp/rc" ||
      fail "$name.exe has not \"$what\" as its description"
  fi
  for value in "ProductName:locbench" "ProductVersion:$version" "FileVersion:$version" \
    "OriginalFilename:$name.exe" "LegalCopyright:$copyright_line"; do
    grep -qxF "      VALUE \"${value%%:*}\", \"$(printf '%s' "${value#*:}" | rc_text)\"" "$tmp/rc" ||
      fail "$name.exe has not ${value#*:} as its ${value%%:*}"
  done
  sed -n '/^1 24 \/\* RT_MANIFEST \*\//,/^END/p' "$tmp/rc" | sed '1,2d;$d' | sed 's/^  "//; s/\\n"$//; s/""/"/g' |
    cmp -s - packaging/windows/locbench.manifest || fail "$name.exe does not carry packaging/windows/locbench.manifest"
  count=$((count + 1))
done
[ "$count" -gt 0 ] || fail "no .exe in $dir"
echo "check-exe.sh: $count .exe files in $dir: system DLLs only, version resource and manifest"
