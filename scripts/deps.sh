#!/usr/bin/env bash
# Installs the Debian packages that building and testing locbench need, when
# they are missing. Needs root (or sudo) only when something is missing.
set -euo pipefail
want=(g++ cmake make)
if [ "${1:-}" = "--tests" ]; then
  want+=(libgtest-dev libtiff-dev)
fi
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -q "${missing[@]}" || { $sudo apt-get update -q && $sudo apt-get install -y -q "${missing[@]}"; }
