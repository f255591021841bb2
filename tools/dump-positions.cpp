// Writes the benchmark's positions in the form tools/compare-moves.sh reads:
// a "# name" line, the BOARD list, "DONE".
#include <cstdio>

#include "bench/positions.h"

int main() {
    const BenchPosition* positions = benchPositions();
    for (int i = 0; i < benchPositionCount(); ++i)
        std::printf("# %s\n%sDONE\n", positions[i].name, positions[i].board);
    return 0;
}
