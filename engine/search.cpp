#include "engine.h"

int MaxDepth;
cellpos BestMove;
bool HaveBestMove;
onemove maxDlastGMoves[CellCount];

namespace {

// Plays the move, searches the child and takes the move back. A child with
// no depth left is only evaluated, so it does without the ordering state.
template <bool Ruled>
int searchChild(int x, int y, int depth, int alpha, int beta, int side) {
    const int opponent = otherSide(side);
    prefetchHashEntry(opponent, nowhash ^ randomkey[x][y][sideIndex(side)]);
    if (depth == 1) {
        MakeLeafMove<Ruled>(x, y, side);
        const int v = -alphabeta<Ruled>(0, -beta, -alpha, opponent);
        unMakeLeafMove<Ruled>(x, y, side);
        return v;
    }
    MakeMove<Ruled>(x, y, side);
    const int v = -alphabeta<Ruled>(depth - 1, -beta, -alpha, opponent);
    unMakeMove<Ruled>(x, y, side);
    return v;
}

// Renju black never tries a foul; under every other rule nothing is one.
template <bool Ruled>
bool mayNotPlay([[maybe_unused]] int x, [[maybe_unused]] int y, [[maybe_unused]] int side) {
    if constexpr (Ruled) return isFoul(x, y, side);
    return false;
}

}  // namespace

void clearRootMemory() {
    for (onemove& m : maxDlastGMoves) m = {-1, -1, UnfilledValue};
}

template <bool Ruled>
int alphabeta(int depth, int alpha, int beta, int side) {
    ++Nodes;
    if (check_over()) {
        const int v = evaluate<Ruled>(side);
        putinHashValue(side, nowhash, v, depth);
        return v;
    }
    const int stored = lookupHashValue(side, nowhash, depth);
    if (stored != HashMiss) return stored;
    if (depth <= 0) {
        const int v = evaluate<Ruled>(side);
        putinHashValue(side, nowhash, v, depth);
        return v;
    }

    const bool root = depth == MaxDepth;
    const bool forcedWin = !hasFour(otherSide(side)) && (Ruled ? ruledVcf(0, side, -1, -1) : vcf(0, side, -1, -1));
    // A VCF search cut by the clock proves nothing.
    if (timeup) return alpha;
    // A win that starts on a cell to avoid is searched like any position.
    if (forcedWin && !(root && AvoidCell[vcfBestMove.x][vcfBestMove.y])) {
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
            if (turnMustStop()) {
                timeup = true;
                return alpha;
            }
            const int x = cell / BoardSize, y = cell % BoardSize;
            if (mayNotPlay<Ruled>(x, y, side)) continue;
            const int v = searchChild<Ruled>(x, y, depth, alpha, beta, side);
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
            if (x == -1 || y == -1 || !Candidate[x * BoardSize + y] || AvoidCell[x][y]) continue;
            if (turnMustStop()) {
                timeup = true;
                return alpha;
            }
            if (mayNotPlay<Ruled>(x, y, side)) continue;
            const int v = searchChild<Ruled>(x, y, depth, alpha, beta, side);
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

template int alphabeta<false>(int depth, int alpha, int beta, int side);
template int alphabeta<true>(int depth, int alpha, int beta, int side);
