// What a deep turn may spend: a share of the match clock, spread over the
// moves still to come, within the turn limit.
#pragma once

namespace deep {

struct TurnClock {
    bool given;              // any of the three came by INFO
    long long timeoutTurn;   // ms, 0: answer at once
    long long timeoutMatch;  // ms, 0: no match clock
    long long timeLeft;      // ms of the match clock left; 2147483647: unlimited
    int stonesOnBoard;
};

// softMs is what the turn aims at (more when its best move keeps changing);
// hardMs cuts it wherever it is. hardMs 0 means "answer at once", -1 no limit.
struct TurnBudget {
    long long softMs;
    long long hardMs;
};

TurnBudget planTurn(const TurnClock& clock);

}  // namespace deep
