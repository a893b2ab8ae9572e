#!/usr/bin/env bash
# Builds the Windows executables with MinGW-w64: BUILD_DIR/bin/<job>.exe for
# every job and BUILD_DIR/bin/locbench.exe (default BUILD_DIR: build-windows).
# Each .exe is statically linked and needs no DLL beside it. Arguments after
# BUILD_DIR go to cmake when it configures the build.
#   scripts/build-windows.sh [BUILD_DIR [CMAKE_ARGUMENT...]]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-windows}
shift || true
scripts/deps.sh --windows
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
