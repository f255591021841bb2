#include "engine.h"

// Reads the incremental line state instead of rescanning the board; the
// early returns come in the same order as a full scan would find them.
template <bool Ruled>
int evaluate(int side) {
    const int own = sideIndex(side), opp = 1 - own;

    // A five outranks everything; the lowest window decides if both have one.
    if (FiveCount[own] > 0 || FiveCount[opp] > 0) {
        if (FiveCount[opp] == 0) return WinScore;
        if (FiveCount[own] == 0) return -WinScore;
        for (int w = 0; w < FiveWindowCount; ++w) {
            if (Win[own][w] == 5 && (!Ruled || !windowBarred(own, w))) return WinScore;
            if (Win[opp][w] == 5 && (!Ruled || !windowBarred(opp, w))) return -WinScore;
        }
    }

    // A four of the side to move becomes five on this move.
    if (Tally[own][4] > 0) return WinScore;

    // An open three wins unless the opponent has a four to play first (and,
    // for renju black, unless its straight four would be a foul).
    if (Tally[opp][4] == 0 && OpenThreeCount[own] > 0 && (!Ruled || own != FoulSide || hasPlayableOpenThree(own)))
        return WinScore;

    const int* ownTally = Tally[own];
    const int* oppTally = Tally[opp];
    return 20 * (ownTally[1] - oppTally[1]) + 80 * (ownTally[2] - oppTally[2]) +
           300 * (ownTally[3] - oppTally[3]) - 900 * oppTally[4];
}

template int evaluate<false>(int side);
template int evaluate<true>(int side);
