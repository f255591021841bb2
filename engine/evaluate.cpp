#include "engine.h"

namespace {

int fiveSum(int w) {
    int sum = 0;
    for (const cellpos& c : Win2Point[w]) sum += board[c.x][c.y];
    return sum;
}

}  // namespace

int evaluate(int side) {
    const int own = sideIndex(side), opp = 1 - own;

    // A five outranks everything; the lowest window decides if both have one.
    for (int w = 0; w < FiveWindowCount; ++w) {
        if (Win[own][w] == 5) return WinScore;
        if (Win[opp][w] == 5) return -WinScore;
    }

    // A four of the side to move becomes five on this move.
    const int ownFour = side == MyStone ? 4 : -1600;
    for (int w = 0; w < FiveWindowCount; ++w)
        if (!DeadFive[w] && fiveSum(w) == ownFour) return WinScore;

    // tally[k][n]: windows holding n stones of side index k and nothing else.
    int tally[2][5] = {};
    for (int w = 0; w < FiveWindowCount; ++w) {
        if (DeadFive[w]) continue;
        const int sum = fiveSum(w);
        if (sum >= 1 && sum <= 4)
            ++tally[0][sum];
        else if (sum < 0 && sum >= -1600 && sum % 400 == 0)
            ++tally[1][-sum / 400];
    }
    const int* ownTally = tally[own];
    const int* oppTally = tally[opp];

    // Open threes of the side to move only: -XXX--, --XXX-, -XX-X-, -X-XX-.
    const int opponent = side == MyStone ? OpponentStone : MyStone;
    const int ownThree = side == MyStone ? 3 : -1200;
    int openThrees = 0;
    for (int s = 0; s < SixWindowCount; ++s) {
        if (DeadSix[s]) continue;
        const cellpos* c = Six2Point[s];
        if (board[c[0].x][c[0].y] == opponent || board[c[5].x][c[5].y] == opponent) continue;
        int middle = 0;
        for (int m = 1; m <= 4; ++m) middle += board[c[m].x][c[m].y];
        if (middle == ownThree) ++openThrees;
    }
    if (oppTally[4] == 0 && openThrees >= 1) return WinScore;

    return 20 * (ownTally[1] - oppTally[1]) + 80 * (ownTally[2] - oppTally[2]) +
           300 * (ownTally[3] - oppTally[3]) - 900 * oppTally[4];
}
