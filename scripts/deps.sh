#!/usr/bin/env bash
# Installs the Debian packages that building and testing locbench need, when
# they are missing. Needs root (or sudo) only when something is missing.
set -euo pipefail
# Always: the compiler, CMake, zlib, which the payload jobs pack and unpack
# with, libcrypto (libssl-dev), whose SHA-256 checks the files of a release,
# nlohmann-json (a header alone, which the Windows build takes as well), which
# writes the JSON of locbench status, and stb_image_write (libstb-dev, a header
# alone, the Windows build's too), which writes the pictures of locbench
# preview. --tests: what the test suite needs (Python's zlib judges the payload
# jobs, its PIL reads back the pictures of locbench preview, gettext's own
# tools the PO files that exportpo and importpo exchange, Debian's xdelta3 the
# VCDIFF patches); --windows: the MinGW-w64 cross compiler and its zlib, linked
# statically; --wine: Wine, to run the Windows build's tests; --package: what
# scripts/package.sh needs to make and check the packages (dpkg-dev's
# dpkg-shlibdeps and dpkg-gencontrol, lintian, zip and unzip, man); --docs:
# Graphviz, whose dot draws the chains' pictures (build/tools/locbench_docs
# pictures docs/chains); --fuzz: clang and its libFuzzer runtime, which
# build the fuzz targets (scripts/fuzz.sh).
want=(g++ cmake make zlib1g-dev nlohmann-json3-dev libssl-dev libstb-dev)
for arg in "$@"; do
  case "$arg" in
    --tests) want+=(libgtest-dev libtiff-dev gettext python3 xdelta3 python3-pil) ;;
    --windows) want+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev) ;;
    --wine) want+=(wine64) ;;
    --package) want+=(dpkg-dev lintian zip unzip man-db) ;;
    --docs) want+=(graphviz) ;;
    --fuzz) want+=(clang libclang-rt-14-dev) ;;
  esac
done
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
