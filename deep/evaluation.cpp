#include "deep/evaluation.h"

namespace deep {

CellWeights cellWeightsOf(const RuleWeights& weights) {
    CellWeights cells{};
    for (int side = 0; side < 2; ++side) {
        for (int s = 0; s < ShapeKinds; ++s) {
            cells.moverShape[side][s] = weights.moverShape[side][s];
            cells.waiterShape[side][s] = weights.waiterShape[side][s];
        }
        for (int t = 0; t < ThreatKinds; ++t) {
            cells.moverThreat[side][t] = weights.moverThreat[side][t];
            cells.waiterThreat[side][t] = weights.waiterThreat[side][t];
        }
    }
    return cells;
}

const CellWeights& cellWeightsFor(Rule rule) {
    static const CellWeights byRule[4] = {cellWeightsOf(FittedWeights[0]), cellWeightsOf(FittedWeights[1]),
                                          cellWeightsOf(FittedWeights[2]), cellWeightsOf(FittedWeights[3])};
    return byRule[static_cast<int>(rule)];
}

}  // namespace deep
