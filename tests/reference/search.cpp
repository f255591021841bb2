#include "engine.h"

namespace reference {

int MaxDepth;
cellpos BestMove;
bool HaveBestMove;
onemove maxDlastGMoves[CellCount];
long long start_t;
long long end_t;
double total_t;
bool timeup;
long long Nodes;

namespace {

bool outOfTime() {
    if (ActiveLimitMs < 0) return false;
    end_t = clockMs();
    total_t = static_cast<double>(end_t - start_t) / 1000.0;
    return end_t - start_t > ActiveLimitMs;
}

// Is there a stone within two rows and two columns of the cell?
bool hasNeighbour(int x, int y) {
    const int x0 = x < 2 ? 0 : x - 2, x1 = x > BoardSize - 3 ? BoardSize - 1 : x + 2;
    const int y0 = y < 2 ? 0 : y - 2, y1 = y > BoardSize - 3 ? BoardSize - 1 : y + 2;
    int sum = 0;
    for (int cx = x0; cx <= x1; ++cx)
        for (int cy = y0; cy <= y1; ++cy) sum += board[cx][cy];
    return sum != 0;
}

}  // namespace

void clearRootMemory() {
    for (onemove& m : maxDlastGMoves) m = {-1, -1, UnfilledValue};
}

int alphabeta(int depth, int alpha, int beta, int side) {
    ++Nodes;
    if (check_over()) {
        const int v = evaluate(side);
        putinHashValue(side, nowhash, v, depth);
        return v;
    }
    const int stored = lookupHashValue(side, nowhash, depth);
    if (stored != HashMiss) return stored;
    if (depth <= 0) {
        const int v = evaluate(side);
        putinHashValue(side, nowhash, v, depth);
        return v;
    }

    const bool root = depth == MaxDepth;
    const int opponent = otherSide(side);
    if (!hasFour(opponent) && vcf(0, side, -1, -1)) {
        if (root) {
            BestMove = vcfBestMove;
            HaveBestMove = HaveVcfBestMove;
        }
        putinHashValue(side, nowhash, WinScore, depth);
        return WinScore;
    }

    onemove list[CellCount];
    if (!root || MaxDepth <= 1) {
        SortMoves(side, list);
    } else {
        mergeSort(maxDlastGMoves, 0, CellCount - 1);
        for (int i = 0; i < CellCount; ++i) list[i] = maxDlastGMoves[i];
        clearRootMemory();
    }

    for (int i = 0; i < CellCount; ++i) {
        if (outOfTime()) {
            timeup = true;
            return alpha;
        }
        const int x = list[i].x, y = list[i].y;
        if (x == -1 || y == -1 || board[x][y] != 0 || Closed[x][y]) continue;
        if (!hasNeighbour(x, y)) continue;

        MakeMove(x, y, side);
        const int v = -alphabeta(depth - 1, -beta, -alpha, opponent);
        if (timeup) {
            // An interrupted child's value is partial: it must not count.
            unMakeMove(x, y, side);
            return alpha;
        }
        if (root) maxDlastGMoves[i] = {x, y, v};
        unMakeMove(x, y, side);

        if (v > alpha) {
            alpha = v;
            if (root) {
                BestMove = {x, y};
                HaveBestMove = true;
            }
        }
        if (alpha >= beta) return WinScore;
    }
    putinHashValue(side, nowhash, alpha, depth);
    return alpha;
}

}  // namespace reference
