// Starting values set by hand, until tools/fit-eval writes fitted ones here.
#include "deep/evaluation.h"

namespace deep {

namespace {
constexpr RuleWeights Hand = {
    {{0, 1, 3, 4, 10, 14, 10, 30, 25, 150, 150, 0, 0}, {0, 1, 3, 4, 10, 14, 10, 30, 25, 150, 150, 0, 0}},
    {{0, 0, 4, 4, 20, 20, 30, 50, 200, 15, 40, 400, 600, 1000}, {0, 0, 4, 4, 20, 20, 30, 50, 200, 15, 40, 400, 600, 1000}},
    {{0, 1, 3, 4, 9, 12, 8, 25, 20, 100, 100, 0, 0}, {0, 1, 3, 4, 9, 12, 8, 25, 20, 100, 100, 0, 0}},
    {{0, 0, 3, 3, 15, 15, 20, 35, 80, 10, 25, 150, 250, 500}, {0, 0, 3, 3, 15, 15, 20, 35, 80, 10, 25, 150, 250, 500}},
    {20, 20}};
}  // namespace

const RuleWeights FittedWeights[4] = {Hand, Hand, Hand, Hand};

}  // namespace deep
