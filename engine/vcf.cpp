#include <bit>

#include "engine.h"

cellpos vcfBestMove;
bool HaveVcfBestMove;

namespace {

constexpr int MaxVcfDepth = 6;

// Does some live window through the cell hold a four of side index k?
bool fourThrough(cellpos cell, int k) {
    const int four = k == 0 ? 4 : -1600;
    for (int slot = 0; slot < PointCount[cell.x][cell.y]; ++slot) {
        const int w = Point2Win[cell.x][cell.y][slot];
        if (Sum5[w] == four && !DeadFive[w]) return true;
    }
    return false;
}

bool near(cellpos cell, int lastX, int lastY) {
    const int dx = cell.x - lastX, dy = cell.y - lastY;
    return dx >= -5 && dx <= 5 && dy >= -5 && dy <= 5;
}

void clearTrials(cellpos a, cellpos b) {
    setTrialStone(a.x, a.y, 0);
    setTrialStone(b.x, b.y, 0);
}

}  // namespace

bool hasFour(int side) { return Tally[sideIndex(side)][4] > 0; }

bool vcf(int depth, int side, int lastX, int lastY) {
    bool skipFirstTries = false;
    if (depth > MaxVcfDepth) return false;

    const int k = sideIndex(side);
    // The attacker already has a four: his next stone makes five.
    if (Tally[k][4] > 0) return true;

    const int defender = side == MyStone ? OpponentStone : MyStone;
    const bool local = lastX != -1 && lastY != -1;

    // Threes in ascending window order. Every trial is undone before the
    // next window is looked at, so the set read here stays valid.
    for (int word = 0; word < WindowWords; ++word) {
        for (std::uint64_t bits = ThreeSet[k][word]; bits; bits &= bits - 1) {
            const int w = word * 64 + std::countr_zero(bits);
            cellpos empty[2];
            int found = 0;
            for (const cellpos& c : Win2Point[w])
                if (board[c.x][c.y] == 0) empty[found++] = c;
            const cellpos e0 = empty[0], e1 = empty[1];

            // Side 1 tests its second empty cell, side -400 its first.
            const cellpos testCell = side == MyStone ? e1 : e0;
            if (local && !near(testCell, lastX, lastY)) skipFirstTries = true;

            // First try: four on e0, forced block on e1.
            if (!skipFirstTries) {
                setTrialStone(e0.x, e0.y, side);
                setTrialStone(e1.x, e1.y, defender);
                if (fourThrough(e1, 1 - k)) {
                    skipFirstTries = true;
                } else if (vcf(depth + 1, side, e0.x, e0.y)) {
                    if (depth == 0) {
                        vcfBestMove = e0;
                        HaveVcfBestMove = true;
                    }
                    clearTrials(e0, e1);
                    return true;
                }
                clearTrials(e0, e1);
            }

            // Second try: four on e1, forced block on e0.
            if (local && !near(e1, lastX, lastY)) continue;
            setTrialStone(e1.x, e1.y, side);
            setTrialStone(e0.x, e0.y, defender);
            if (fourThrough(e0, 1 - k)) {
                clearTrials(e0, e1);
                return false;
            }
            const bool won = vcf(depth + 1, side, e1.x, e1.y);
            clearTrials(e0, e1);
            if (won) {
                if (depth == 0) {
                    vcfBestMove = e1;
                    HaveVcfBestMove = true;
                }
                return true;
            }
        }
    }
    return false;
}
