// The evaluation: values over the shapes and threat classes of both sides,
// summed over the empty cells, one table per rule (renju black and white
// differ). The values are fitted to game results by tools/fit-eval.
#pragma once

#include "deep/position.h"

namespace deep {

// Evaluations stay within this bound; proven results lie beyond it.
constexpr int EvalLimit = 15000;

// The weights of one rule, as the fitting tool writes them: per side (black,
// white), for the side to move and for the side that waits, a value per
// line shape and per threat class, and the worth of having the move.
struct RuleWeights {
    std::int16_t moverShape[2][ShapeKinds];
    std::int16_t moverThreat[2][ThreatKinds];
    std::int16_t waiterShape[2][ShapeKinds];
    std::int16_t waiterThreat[2][ThreatKinds];
    std::int16_t tempo[2];
};

// The fitted weights, indexed by Rule (eval_weights.cpp, generated).
extern const RuleWeights FittedWeights[4];

// The cell weights of the position layer for a rule, built once from the
// fitted ones; `weights` replaces them (tuning runs pass their own).
const CellWeights& cellWeightsFor(Rule rule);
CellWeights cellWeightsOf(const RuleWeights& weights);

// The position's value for the side to move.
inline int evaluate(const Position& pos, const RuleWeights& weights) {
    const int me = pos.sideToMove();
    int v = pos.moverSum(me) - pos.waiterSum(me ^ 1) + weights.tempo[me];
    return v > EvalLimit ? EvalLimit : v < -EvalLimit ? -EvalLimit : v;
}

}  // namespace deep
