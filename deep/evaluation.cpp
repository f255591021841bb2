#include "deep/evaluation.h"

namespace deep {

RuleWeights ruleWeightsOf(const ShapeWeights& w, Rule rule) {
    RuleWeights out{};
    const ComboKindTable& kinds = comboKinds();
    for (int side = 0; side < 2; ++side) {
        const bool renjuBlack = rule == Rule::Renju && side == 0;
        for (int k = 0; k < ComboKinds; ++k) {
            bool check = false;
            const Threat t = classify(kinds.shapes[k], renjuBlack, check);
            int mover = w.moverThreat[side][t], waiter = w.waiterThreat[side][t];
            for (const Shape s : kinds.shapes[k]) {
                mover += w.moverShape[side][s];
                waiter += w.waiterShape[side][s];
            }
            out.cells.mover[side][k] = static_cast<std::int16_t>(mover);
            out.cells.waiter[side][k] = static_cast<std::int16_t>(waiter);
        }
        out.tempo[side] = w.tempo[side];
    }
    return out;
}

}  // namespace deep
