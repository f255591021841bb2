#!/usr/bin/env bash
# Builds the Windows brains, pbrain-morrow64.exe and pbrain-morrow-deep64.exe,
# on Linux with mingw-w64:
#
#   tools/build-windows.sh [build-dir]        (default: build-windows)
#
# The .exe files land in the build directory. They are linked statically and need no
# DLL beside them. Needs cmake and the -posix mingw-w64 compilers (Debian:
# apt-get install g++-mingw-w64-x86-64). Release unless MORROW_BUILD_TYPE
# names another build type; MORROW_JOBS parallel jobs (default 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-windows}
case $build in /*) ;; *) build=$PWD/$build ;; esac

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
    echo "build-windows: x86_64-w64-mingw32-g++-posix is missing;" \
         "install it with: apt-get install g++-mingw-w64-x86-64" >&2
    exit 1
fi

cmake -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE="${MORROW_BUILD_TYPE:-Release}"
cmake --build "$build" -j"${MORROW_JOBS:-2}"
echo "build-windows: built $build/pbrain-morrow64.exe and $build/pbrain-morrow-deep64.exe"
