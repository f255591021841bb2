#!/usr/bin/env bash
# Plays a list of positions through BOARD against two brains and requires the
# very same reply lines from both:
#
#   tools/compare-moves.sh POSITIONS "BRAIN-A COMMAND" "BRAIN-B COMMAND"
#
# A command is split at blanks into program and arguments, e.g.
# "/usr/lib/wine/wine64 /abs/path/pbrain-morrow64.exe". POSITIONS holds
# BOARD lists one after another, each "x,y,who" lines closed by "DONE"; a
# "# name" line before a list names it. Every position gets a fresh process
# of each brain, fed "START 20", "BOARD", the list, "DONE", "END".
# Fails when the replies differ, when a reply holds "\r", when a brain does
# not end with status 0 within MORROW_COMPARE_TIMEOUT seconds (default 60),
# or when its last reply is not a move. Different replies are let pass when
# a run took MORROW_COMPARE_CLOCK_MS (default 4000) or more: the turn's clock
# then stopped the search, and where it stopped is chance.
set -euo pipefail
if (( $# != 3 )); then
    sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
positions=$1
read -r -a brainA <<<"$2"
read -r -a brainB <<<"$3"
limit=${MORROW_COMPARE_TIMEOUT:-60}
clockMs=${MORROW_COMPARE_CLOCK_MS:-4000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now_ms() { local t=${EPOCHREALTIME/./}; echo $((10#$t / 1000)); }

# play OUT PROGRAM ARGS...: feeds $work/in, sets `elapsed` (ms) and `status`.
play() {
    local out=$1 start
    shift
    start=$(now_ms)
    status=0
    timeout "$limit" "$@" <"$work/in" >"$work/$out" 2>"$work/$out.err" || status=$?
    elapsed=$(($(now_ms) - start))
}

# check OUT LABEL: the run ended well and its last reply is a move.
check() {
    local out=$1 label=$2
    if ((status != 0)); then
        echo "  $label: exit status $status" >&2
        sed 's/^/    stderr: /' "$work/$out.err" | head -n 20 >&2
        return 1
    fi
    if grep -q $'\r' "$work/$out"; then
        printf '  %s: a reply carries "\\r"\n' "$label" >&2
        return 1
    fi
    if ! tail -n 1 "$work/$out" | grep -Eqx '[0-9]+,[0-9]+'; then
        echo "  $label: the last reply is not a move" >&2
        return 1
    fi
}

seconds() { printf '%d.%02d' $(($1 / 1000)) $(($1 % 1000 / 10)); }

count=0 failed=0 clocked=0 name='' list='' totalA=0 totalB=0
while IFS= read -r line || [[ -n $line ]]; do
    line=${line%$'\r'}
    case $line in
        '#'*) name=${line#\#} name=${name# }; continue ;;
        '') continue ;;
        [Dd][Oo][Nn][Ee]) ;;
        *) list+=$line$'\n'; continue ;;
    esac
    count=$((count + 1))
    [[ -n $name ]] || name="position $count"
    printf 'START 20\nBOARD\n%sDONE\nEND\n' "$list" >"$work/in"

    ok=1
    play a "${brainA[@]}"; msA=$elapsed
    check a "${brainA[-1]##*/}" || ok=0
    play b "${brainB[@]}"; msB=$elapsed
    check b "${brainB[-1]##*/}" || ok=0
    totalA=$((totalA + msA)) totalB=$((totalB + msB))
    differ=0
    if ((ok)) && ! cmp -s "$work/a" "$work/b"; then
        differ=1
        echo "  the replies differ:" >&2
        diff "$work/a" "$work/b" | sed 's/^/    /' >&2 || true
        ok=0
    fi
    move=$(tail -n 1 "$work/a")
    if ((ok)); then
        echo "same   $name: $move  ($(seconds $msA) s / $(seconds $msB) s)"
    elif ((differ && (msA >= clockMs || msB >= clockMs))); then
        # The clock stopped a search: which iteration finished is chance.
        echo "CLOCK  $name: the clock cut the search, a different move is no fault" \
             "($(seconds $msA) s / $(seconds $msB) s)"
        clocked=$((clocked + 1))
    else
        echo "DIFFER $name  ($(seconds $msA) s / $(seconds $msB) s)"
        failed=$((failed + 1))
    fi
    name='' list=''
done <"$positions"

if [[ -n $list ]]; then
    echo "compare-moves: the last list in $positions has no DONE" >&2
    exit 1
fi
if ((count == 0)); then
    echo "compare-moves: no position found in $positions" >&2
    exit 1
fi
echo "compare-moves: $count positions, $failed differing, $clocked cut by the clock;" \
     "time $(seconds $totalA) s (${brainA[-1]##*/}), $(seconds $totalB) s (${brainB[-1]##*/})"
((failed == 0))
