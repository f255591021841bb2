#!/usr/bin/env bash
# Makes the release package:
#
#   tools/release.sh
#
# Builds the brains in Release, plain and deep, the Linux ones (build-release-linux/, no
# tests, no benchmark) and the Windows one (build-release-windows/, through
# tools/build-windows.sh), and puts them with a usage text in
# dist/morrow-<version>/, the version being the one Morrow's ABOUT reply
# gives. Needs cmake, a C++20 compiler and g++-mingw-w64-x86-64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${MORROW_JOBS:-2}
linuxBuild=$root/build-release-linux
winBuild=$root/build-release-windows

cmake -S "$root" -B "$linuxBuild" -DCMAKE_BUILD_TYPE=Release \
    -DMORROW_TESTS=OFF -DMORROW_BENCH=OFF \
    -DCMAKE_EXE_LINKER_FLAGS="-s -static-libstdc++ -static-libgcc"
cmake --build "$linuxBuild" -j"$jobs"
MORROW_BUILD_TYPE=Release MORROW_JOBS=$jobs "$root/tools/build-windows.sh" "$winBuild"

about=$(printf 'ABOUT\nEND\n' | "$linuxBuild/pbrain-morrow")
version=$(sed -n 's/.*version="\([^"]*\)".*/\1/p' <<<"$about")
if [[ ! $version =~ ^[0-9A-Za-z._+-]+$ ]]; then
    echo "release: no usable version in the ABOUT reply: $about" >&2
    exit 1
fi

dist=$root/dist/morrow-$version
rm -rf "$dist"
mkdir -p "$dist"
cp "$winBuild/pbrain-morrow64.exe" "$winBuild/pbrain-morrow-deep64.exe" \
    "$linuxBuild/pbrain-morrow" "$linuxBuild/pbrain-morrow-deep" "$dist/"
cat >"$dist/README.txt" <<TEXT
Morrow $version - a gomoku brain (free-style, exact five, renju and caro,
as the manager's INFO rule says; boards from 5 x 5 to 20 x 20)

  pbrain-morrow64.exe        Windows, 64-bit (needs no DLL beside it)
  pbrain-morrow              Linux, $(uname -m) (needs only the C library)
  pbrain-morrow-deep64.exe   the deep brains: the same program, searching
  pbrain-morrow-deep         as deep as the manager's clock allows

The plain brain searches 4 plies and answers within milliseconds, at most
4.5 seconds. The deep brain spends the time the manager gives it: a share of
the match time left, never more than the turn limit (4.5 seconds when the
manager tells no time). Choose the deep one for tournaments and matches with
a clock; INFO max_depth above 4 makes the plain one deep too.

Morrow is not started by hand. A gomoku manager starts it and talks to it
over its standard input and output, one command and one reply a line
(START, BEGIN, TURN, BOARD, INFO, TAKEBACK, ABOUT, END).

Windows: copy pbrain-morrow64.exe anywhere, then in the manager's players
settings choose it as an AI player (give the path to the file). Keep the
name: managers know brains that talk over pipes by the "pbrain-" prefix.

Linux: give a manager the path to pbrain-morrow, or try it in a shell:

  printf 'START 20\nBEGIN\nEND\n' | ./pbrain-morrow

prints "OK" and then Morrow's first move as "x,y" (0-based, x first).
Boards larger than 20 x 20 are refused; blocked cells (BOARD ... ,3) are
never played.
TEXT
sed -i 's/$/\r/' "$dist/README.txt"

echo "release: $dist"
ls -l "$dist"
