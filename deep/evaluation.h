// The evaluation: values over the shapes and threat classes of both sides,
// summed over the empty cells, one table per rule (renju black and white
// differ). The values are fitted to game results by tools/fit-eval.
#pragma once

#include "deep/position.h"

namespace deep {

// Evaluations stay within this bound; proven results lie beyond it.
constexpr int EvalLimit = 15000;

// The weights of one rule, as the fitting tool writes them: per side
// (black, white), the worth of each kind of cell to the side to move and to
// the side that waits, and the worth of having the move.
struct RuleWeights {
    CellWeights cells;
    std::int16_t tempo[2];
};

// The fitted weights, indexed by Rule (eval_weights.cpp, generated).
extern const RuleWeights FittedWeights[4];

inline const CellWeights& cellWeightsFor(Rule rule) { return FittedWeights[static_cast<int>(rule)].cells; }

// Weights as a sum over the cell's line shapes and its threat class: how
// the fit starts, and a form short enough to write by hand.
struct ShapeWeights {
    std::int16_t moverShape[2][ShapeKinds];
    std::int16_t moverThreat[2][ThreatKinds];
    std::int16_t waiterShape[2][ShapeKinds];
    std::int16_t waiterThreat[2][ThreatKinds];
    std::int16_t tempo[2];
};
RuleWeights ruleWeightsOf(const ShapeWeights& weights, Rule rule);

// The position's value for the side to move.
inline int evaluate(const Position& pos, const RuleWeights& weights) {
    const int me = pos.sideToMove();
    int v = pos.moverSum(me) - pos.waiterSum(me ^ 1) + weights.tempo[me];
    return v > EvalLimit ? EvalLimit : v < -EvalLimit ? -EvalLimit : v;
}

}  // namespace deep
