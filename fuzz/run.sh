#!/usr/bin/env bash
# Builds the protocol fuzzer with clang and runs it for N seconds (default 60)
# on a copy of fuzz/corpus, so the repository is left as it was.
# Fails on any crash, hang (10 s per input), sanitizer report or illegal move;
# the inputs that failed are then kept in fuzz-artifacts/.
#   fuzz/run.sh [seconds]        MORROW_FUZZ_BUILD=dir overrides build-fuzz/
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${MORROW_FUZZ_BUILD:-$repo/build-fuzz}

if ! command -v clang++ >/dev/null; then
  echo "fuzz/run.sh: clang++ not found; on Debian install it with: apt-get install clang" >&2
  exit 1
fi

cmake -S "$repo" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORROW_FUZZ=ON -DMORROW_TESTS=OFF -DMORROW_BENCH=OFF >/dev/null
cmake --build "$build" --target morrow-protocol-fuzz -j2

work=$(mktemp -d "${TMPDIR:-/tmp}/morrow-fuzz.XXXXXX")
cp -r "$repo/fuzz/corpus" "$work/corpus"
mkdir "$work/artifacts"

# Our own options, whatever the caller exported for the test suite.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
status=0
"$build/fuzz/morrow-protocol-fuzz" -max_total_time="$seconds" -timeout=10 -max_len=4096 \
  -len_control=0 -dict="$repo/fuzz/protocol.dict" -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" || status=$?

if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
  mkdir -p "$repo/fuzz-artifacts"
  cp "$work/artifacts/"* "$repo/fuzz-artifacts/" 2>/dev/null || true
  echo "fuzz/run.sh: FAILED (status $status); failing inputs in $repo/fuzz-artifacts:" >&2
  for f in "$work/artifacts/"*; do
    [ -e "$f" ] || continue
    echo "--- $(basename "$f")" >&2
    head -c 4096 "$f" | cat -v >&2
    echo >&2
  done
  echo "Replay one, with the replies on stderr: MORROW_FUZZ_ECHO=1 $build/fuzz/morrow-protocol-fuzz <file>" >&2
  rm -rf "$work"
  exit 1
fi
rm -rf "$work"
echo "fuzz/run.sh: no failure in $seconds s"
