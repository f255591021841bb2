#include "engine.h"

int MaxDepth;
cellpos BestMove;
bool HaveBestMove;
onemove maxDlastGMoves[CellCount];
long long start_t;
long long end_t;
double total_t;
bool timeup;
long long Nodes;

bool outOfTime() {
    if (ActiveLimitMs < 0) return false;
    end_t = clockMs();
    total_t = static_cast<double>(end_t - start_t) / 1000.0;
    return end_t - start_t > ActiveLimitMs;
}

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
    const bool forcedWin = Tally[sideIndex(opponent)][4] == 0 && vcf(0, side, -1, -1);
    // A VCF search cut by the clock proves nothing.
    if (timeup) return alpha;
    if (forcedWin) {
        if (root) {
            BestMove = vcfBestMove;
            HaveBestMove = HaveVcfBestMove;
        }
        putinHashValue(side, nowhash, WinScore, depth);
        return WinScore;
    }

    if (!root) {
        // Below the root only the cells that can be tried are listed.
        int keys[CandidateKeyCount];
        CandidateKeys(side, keys);
        for (int cell; (cell = TakeBestCandidate(keys)) >= 0;) {
            if (outOfTime()) {
                timeup = true;
                return alpha;
            }
            const cellpos move = {cell / BoardSize, cell % BoardSize};
            prefetchHashEntry(opponent, nowhash ^ randomkey[move.x][move.y][sideIndex(side)]);
            int v;
            if (depth == 1) {
                MakeLeafMove(move.x, move.y, side);
                v = -alphabeta(0, -beta, -alpha, opponent);
                unMakeLeafMove(move.x, move.y, side);
            } else {
                MakeMove(move.x, move.y, side);
                v = -alphabeta(depth - 1, -beta, -alpha, opponent);
                unMakeMove(move.x, move.y, side);
            }
            // An interrupted child's value is partial: it must not count.
            if (timeup) return alpha;
            if (v > alpha) alpha = v;
            if (alpha >= beta) return WinScore;
        }
    } else {
        // The root keeps the whole list: its memory is indexed by list position.
        onemove list[CellCount];
        if (MaxDepth <= 1) {
            SortMoves(side, list);
        } else {
            mergeSort(maxDlastGMoves, 0, CellCount - 1);
            for (int i = 0; i < CellCount; ++i) list[i] = maxDlastGMoves[i];
            clearRootMemory();
        }
        for (int i = 0; i < CellCount; ++i) {
            const int x = list[i].x, y = list[i].y;
            if (x == -1 || y == -1 || !Candidate[x * BoardSize + y]) continue;
            if (outOfTime()) {
                timeup = true;
                return alpha;
            }
            MakeMove(x, y, side);
            const int v = -alphabeta(depth - 1, -beta, -alpha, opponent);
            unMakeMove(x, y, side);
            if (timeup) return alpha;
            maxDlastGMoves[i] = {x, y, v};
            if (v > alpha) {
                alpha = v;
                BestMove = {x, y};
                HaveBestMove = true;
            }
            if (alpha >= beta) return WinScore;
        }
    }
    putinHashValue(side, nowhash, alpha, depth);
    return alpha;
}
