#include "engine.h"

namespace reference {

cellpos vcfBestMove;
bool HaveVcfBestMove;

namespace {

constexpr int MaxVcfDepth = 6;

int fiveSum(int w) {
    int sum = 0;
    for (const cellpos& c : Win2Point[w]) sum += board[c.x][c.y];
    return sum;
}

int fourSum(int side) { return side == MyStone ? 4 : -1600; }
int threeSum(int side) { return side == MyStone ? 3 : -1200; }

// Does some live window through the cell hold a four of `side`?
bool fourThrough(cellpos cell, int side) {
    const int four = fourSum(side);
    for (int slot = 0; slot < PointCount[cell.x][cell.y]; ++slot) {
        const int w = Point2Win[cell.x][cell.y][slot];
        if (!DeadFive[w] && fiveSum(w) == four) return true;
    }
    return false;
}

bool near(cellpos cell, int lastX, int lastY) {
    const int dx = cell.x - lastX, dy = cell.y - lastY;
    return dx >= -5 && dx <= 5 && dy >= -5 && dy <= 5;
}

void place(cellpos cell, int code) { board[cell.x][cell.y] = code; }

}  // namespace

bool hasFour(int side) {
    const int four = fourSum(side);
    for (int w = 0; w < FiveWindowCount; ++w)
        if (!DeadFive[w] && fiveSum(w) == four) return true;
    return false;
}

bool vcf(int depth, int side, int lastX, int lastY) {
    bool skipFirstTries = false;
    if (depth > MaxVcfDepth) return false;

    // The attacker already has a four: his next stone makes five.
    if (hasFour(side)) return true;

    const int defender = otherSide(side);
    const int three = threeSum(side);
    const bool local = lastX != -1 && lastY != -1;

    for (int w = 0; w < FiveWindowCount; ++w) {
        if (DeadFive[w] || fiveSum(w) != three) continue;
        cellpos empty[2];
        int found = 0;
        for (const cellpos& c : Win2Point[w])
            if (board[c.x][c.y] == 0) empty[found++] = c;
        const cellpos e0 = empty[0], e1 = empty[1];

        // Side 1 tests its second empty cell, side -400 its first.
        const cellpos testCell = side == MyStone ? e1 : e0;
        if (local && !near(testCell, lastX, lastY)) skipFirstTries = true;

        // First try: four on e0, forced block on e1.
        place(e0, side);
        place(e1, defender);
        if (fourThrough(e1, defender)) {
            place(e0, 0);
            place(e1, 0);
            skipFirstTries = true;
        }
        if (!skipFirstTries && vcf(depth + 1, side, e0.x, e0.y)) {
            if (depth == 0) {
                vcfBestMove = e0;
                HaveVcfBestMove = true;
            }
            place(e0, 0);
            place(e1, 0);
            return true;
        }
        place(e0, 0);
        place(e1, 0);

        // Second try: four on e1, forced block on e0.
        if (local && !near(e1, lastX, lastY)) continue;
        place(e1, side);
        place(e0, defender);
        if (fourThrough(e0, defender)) {
            place(e0, 0);
            place(e1, 0);
            return false;
        }
        const bool won = vcf(depth + 1, side, e1.x, e1.y);
        place(e0, 0);
        place(e1, 0);
        if (won) {
            if (depth == 0) {
                vcfBestMove = e1;
                HaveVcfBestMove = true;
            }
            return true;
        }
    }
    return false;
}

}  // namespace reference
