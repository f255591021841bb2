#include "deep/time_plan.h"

#include <algorithm>

namespace deep {

namespace {

constexpr long long UnlimitedTimeLeft = 2147483647;
// With no time INFO at all a deep turn keeps the engine's own cap.
constexpr long long NoClockTurnMs = 4500;
// Moves of ours a game is still expected to last, for the share of the
// match time: deep games against strong engines rarely last 30 of them, and
// time left unused at the end is strength thrown away.
constexpr int MostMovesToCome = 26;
constexpr int FewestMovesToCome = 8;
// One turn never takes more than this share of the match time left.
constexpr long long LargestShareOfTimeLeft = 4;

// A deep turn is cut in the middle of much larger searches than a default
// one, and under load it was seen answering up to about 110 ms past its
// limit: it keeps a wider margin of its own.
long long turnLimit(long long allowanceMs) { return allowanceMs - (80 + allowanceMs / 10); }

}  // namespace

TurnBudget planTurn(const TurnClock& clock) {
    if (!clock.given) return {NoClockTurnMs, NoClockTurnMs};
    if (clock.timeoutTurn <= 0) return {0, 0};
    long long hard = turnLimit(clock.timeoutTurn);
    long long soft = hard;
    if (clock.timeoutMatch > 0 && clock.timeLeft != UnlimitedTimeLeft) {
        const int movesToCome =
            std::clamp(MostMovesToCome - clock.stonesOnBoard / 4, FewestMovesToCome, MostMovesToCome);
        hard = std::min(hard, turnLimit(clock.timeLeft / LargestShareOfTimeLeft));
        soft = std::min(hard, clock.timeLeft / movesToCome);
    }
    if (hard <= 0) return {0, 0};
    return {std::max(soft, 1ll), hard};
}

}  // namespace deep
