#!/usr/bin/env bash
# Tests the Windows brain under wine, headless:
#
#   tools/wine-tests.sh
#
# 1. installs mingw-w64 and wine64 when missing (Debian; apt-get, through
#    sudo when not root);
# 2. builds pbrain-morrow64.exe (tools/build-windows.sh, build-windows/) and
#    checks that it imports no DLL but the system's;
# 3. builds the Linux tree (MORROW_LINUX_BUILD, default build-wine-linux; CI
#    passes its own build/ so nothing is built twice);
# 4. plays a few sessions through both executables and requires the same
#    bytes, no "\r" and exit status 0;
# 5. runs the end-to-end tests (ctest -L e2e) against the .exe through
#    MORROW_BRAIN_COMMAND;
# 6. plays every benchmark position on both executables and requires the
#    same replies (tools/compare-moves.sh).
# Wine gets a fresh prefix in a temporary folder, removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${MORROW_JOBS:-2}
winBuild=$root/build-windows
linuxBuild=${MORROW_LINUX_BUILD:-$root/build-wine-linux}
case $linuxBuild in /*) ;; *) linuxBuild=$root/$linuxBuild ;; esac

now_ms() { local t=${EPOCHREALTIME/./}; echo $((10#$t / 1000)); }
seconds() { printf '%d.%02d' $(($1 / 1000)) $(($1 % 1000 / 10)); }
step() { echo "-- $*"; }
fail() { echo "wine-tests: $*" >&2; exit 1; }
runStart=$(now_ms)

find_wine() {
    local w
    for w in "${WINE:-}" /usr/lib/wine/wine64 "$(command -v wine64 || true)"; do
        [[ -n $w && -x $w ]] && { echo "$w"; return; }
    done
}

# ---- 1. tools
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || [[ -z $(find_wine) ]]; then
    step "installing g++-mingw-w64-x86-64 and wine64"
    sudo=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null 2>&1 || fail "not root and no sudo: install g++-mingw-w64-x86-64 and wine64 first"
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends g++-mingw-w64-x86-64 wine64
fi
wine=$(find_wine)
[[ -n $wine ]] || fail "wine64 not found after installing it"
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver || true)

# ---- 2. the .exe
step "building pbrain-morrow64.exe"
t=$(now_ms)
"$root/tools/build-windows.sh" "$winBuild"
buildExeMs=$(($(now_ms) - t))
exe=$winBuild/pbrain-morrow64.exe
[[ -f $exe ]] || fail "$exe was not built"
# Statically linked: only DLLs that come with Windows itself.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "imports: $(paste -sd " " <<<"$dlls")"
foreign=$(grep -Eiv '^(kernel32|msvcrt|ucrtbase|api-ms-win-.*|user32|advapi32|ws2_32|ntdll)\.dll$' <<<"$dlls" || true)
[[ -z $foreign ]] || fail "pbrain-morrow64.exe needs DLLs Windows does not have: $foreign"
deepExe=$winBuild/pbrain-morrow-deep64.exe
[[ -f $deepExe ]] || fail "$deepExe was not built"

# ---- 3. the Linux tree
step "building the Linux tree in $linuxBuild"
cmake -S "$root" -B "$linuxBuild"
cmake --build "$linuxBuild" -j"$jobs"
linux=$linuxBuild/pbrain-morrow
[[ -x $linux ]] || fail "$linux was not built"

# ---- wine, headless, in a fresh prefix
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Wine keeps the server's socket in /tmp/wine-*/server-<device>-<inode of
# the prefix>; that goes too.
read -r device inode < <(stat -c '%d %i' "$WINEPREFIX")
socketName=$(printf 'server-%x-%x' "$device" "$inode")
cleanup() {
    if [[ -n $wineserver ]]; then
        # Wait until the server has gone: a wine process still ending could
        # otherwise set up a new one after the sweep below.
        "$wineserver" -k >/dev/null 2>&1 || true
        "$wineserver" -w >/dev/null 2>&1 || true
    fi
    rm -rf "$WINEPREFIX"
    local d
    for d in /tmp/wine-*/; do
        [[ -e $d$socketName ]] && rm -rf "$d$socketName" && rmdir "$d" 2>/dev/null
    done
    return 0
}
trap cleanup EXIT
step "creating the wine prefix $WINEPREFIX"
t=$(now_ms)
"$wine" wineboot --init >/dev/null 2>&1 || true
if [[ -n $wineserver ]]; then "$wineserver" -w || true; fi
prefixMs=$(($(now_ms) - t))
# One server for the whole run, so each process does not start its own.
if [[ -n $wineserver ]]; then "$wineserver" -p; fi
brainCommand="$wine $exe"

# ---- 4. sessions through both executables
step "start-up time"
t=$(now_ms)
for _ in 1 2 3 4 5; do
    printf 'ABOUT\nEND\n' | "$wine" "$exe" >/dev/null
done
startupMs=$((($(now_ms) - t) / 5))
t=$(now_ms)
for _ in 1 2 3 4 5; do
    printf 'ABOUT\nEND\n' | "$linux" >/dev/null
done
linuxStartupMs=$((($(now_ms) - t) / 5))
echo "per process: $(seconds $startupMs) s under wine, $(seconds $linuxStartupMs) s on Linux"

step "sessions on both executables"
work=$(mktemp -d)
trap 'cleanup; rm -rf "$work"' EXIT
sessions=(
    'ABOUT\nEND\n'
    'START 20\r\nBEGIN\r\nEND\r\n'
    'START 20\nTURN 9,9\nTURN 10,11\nTAKEBACK 10,11\nTAKEBACK 10,11\nEND\n'
    'START 4\nSTART 21\nRECTSTART 20,20\nTURN 20,5\nPLAY 3,3\nSTART20\nFOO\nEND\n'
    'START 20\nAB\x1aOUT\nEND\n'
    'START 20\nBOARD\n10,10,2\n11,11,1\n3,3,7\nEND\n'
    'INFO timeout_turn 1000\nSTART 20\nBOARD\n10,10,2\ndone\nEND\n'
    'START 20\n'
)
failed=0
for s in "${sessions[@]}"; do
    # shellcheck disable=SC2059 # each session is a printf format
    printf "$s" >"$work/in"
    statusL=0 statusW=0
    timeout 60 "$linux" <"$work/in" >"$work/linux" || statusL=$?
    timeout 60 "$wine" "$exe" <"$work/in" >"$work/windows" 2>"$work/windows.err" || statusW=$?
    problem=''
    ((statusL == 0)) || problem+=" Linux status $statusL;"
    ((statusW == 0)) || problem+=" Windows status $statusW;"
    grep -q $'\r' "$work/windows" && problem+=' "\r" in the replies;'
    cmp -s "$work/linux" "$work/windows" || problem+=' the replies differ;'
    if [[ -n $problem ]]; then
        echo "FAIL $s:$problem"
        diff "$work/linux" "$work/windows" | sed 's/^/    /' || true
        sed 's/^/    stderr: /' "$work/windows.err" | head -n 20
        failed=$((failed + 1))
    else
        echo "same $s -> $(paste -sd '|' "$work/windows")"
    fi
done
((failed == 0)) || fail "$failed sessions differ between Linux and Windows"

# ---- 5. end-to-end tests against the .exe
e2eCount=$(ctest --test-dir "$linuxBuild" -N -L e2e | sed -n 's/^Total Tests: //p')
((${e2eCount:-0} > 0)) || fail "no test in $linuxBuild carries the label e2e"
t=$(now_ms)
step "end-to-end tests ($e2eCount, ctest -L e2e) against the .exe"
MORROW_BRAIN_COMMAND=$brainCommand MORROW_DEEP_BRAIN_COMMAND=${brainCommand/pbrain-morrow64.exe/pbrain-morrow-deep64.exe} \
    ctest --test-dir "$linuxBuild" -L e2e --output-on-failure
e2eMs=$(($(now_ms) - t))

# ---- 6. same moves on the benchmark positions
positions=$work/positions.txt
step "benchmark positions: Linux and Windows must answer alike"
"${CXX:-c++}" -std=c++20 -O2 -I"$root" -o "$work/dump-positions" \
    "$root/tools/dump-positions.cpp" "$root/bench/positions.cpp" "$linuxBuild/libmorrow.a" -pthread
"$work/dump-positions" >"$positions"
t=$(now_ms)
"$root/tools/compare-moves.sh" "$positions" "$linux" "$brainCommand"
compareMs=$(($(now_ms) - t))

echo "wine-tests: passed. .exe build $(seconds $buildExeMs) s, wine prefix $(seconds $prefixMs) s," \
     "start-up $(seconds $startupMs) s per process, e2e $(seconds $e2eMs) s," \
     "move comparison $(seconds $compareMs) s, whole run $(seconds $(($(now_ms) - runStart))) s"
