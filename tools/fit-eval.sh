#!/usr/bin/env bash
# Regenerates deep/eval_weights.cpp, deep mode's evaluation tables.
#
# For each rule: rounds of self-play at a fixed node budget from random
# openings, each round played with the weights fitted to every game before
# it, each fit starting from (and drawn towards) tools/eval/start.txt, its
# labels half the game's result and half the search's own value. Then the
# four fitted tables are written out. The same code, seeds and budgets give
# the same file on any machine. About an hour on two cores.
#
#   tools/fit-eval.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MORROW_FIT_BUILD:-build-fit}
work=$build/fit-eval
cmake -S . -B "$build" -DMORROW_TESTS=OFF -DMORROW_BENCH=OFF >/dev/null
cmake --build "$build" -j --target morrow-tune >/dev/null
tune=$build/tools/morrow-tune
mkdir -p "$work"
threads=$(nproc 2>/dev/null || echo 2)

# fit_rule RULE SIZE GAMES...: a round for each count of games.
fit_rule() {
  local rule=$1 size=$2 weights=tools/eval/start.txt files=() round=0
  shift 2
  for games in "$@"; do
    round=$((round + 1))
    local games_file=$work/games-$rule-$round.txt fitted=$work/weights-$rule-$round.txt
    echo "fit-eval: rule $rule, round $round: $games games" >&2
    "$tune" games --rule "$rule" --size "$size" --games "$games" --nodes 10000 --seed $((rule * 100 + round)) \
      --threads "$threads" --weights "$weights" --out "$games_file"
    files+=("$games_file")
    "$tune" fit --rule "$rule" --start tools/eval/start.txt --lambda 0.5 --iterations 800 --out "$fitted" "${files[@]}"
    weights=$fitted
  done
  echo "$weights"
}

# Free-style on the 20 x 20 board of its tournaments, the others on 15 x 15.
free=$(fit_rule 0 20 3000 4000 4000)
exact=$(fit_rule 1 15 2000 3000)
renju=$(fit_rule 4 15 2000 3000)
caro=$(fit_rule 8 15 2000 3000)
"$tune" emit --out deep/eval_weights.cpp "$free" "$exact" "$renju" "$caro"
echo "fit-eval: wrote deep/eval_weights.cpp" >&2
