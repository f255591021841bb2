// The deep executable as a manager runs it: it spends its turn's time, and
// never more.
#include <chrono>
#include <set>
#include <string>

#include "e2e_fixture.h"

namespace morrow::test {
namespace {

class Deep : public BrainTest {
protected:
    Deep() : BrainTest(deepBrainCommand()) {}
};

TEST_F(Deep, AnswersFreeCellsWithinTheTurnLimit) {
    using Clock = std::chrono::steady_clock;
    send("START 15");
    EXPECT_EQ(reply(), "OK");
    send("INFO max_memory 40000000");
    send("INFO timeout_match 0");
    send("INFO time_left 2147483647");
    send("INFO timeout_turn 1000");
    std::set<Move> taken = {{7, 7}, {8, 8}, {6, 8}};
    sendBoard({{7, 7, 2}, {8, 8, 1}, {6, 8, 2}});
    for (int turn = 0; turn < 4; ++turn) {
        const auto asked = Clock::now();
        if (turn > 0) {
            // The opponent plays the first free cell of row 3.
            Move opponent{0, 3};
            while (taken.count(opponent)) ++opponent.first;
            taken.insert(opponent);
            send("TURN " + std::to_string(opponent.first) + "," + std::to_string(opponent.second));
        }
        const std::optional<Move> m = move();
        const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
        ASSERT_TRUE(m);
        EXPECT_LT(ms, 1000) << "turn " << turn;
        EXPECT_TRUE(m->first >= 0 && m->first < 15 && m->second >= 0 && m->second < 15);
        EXPECT_TRUE(taken.insert(*m).second) << "occupied cell " << m->first << "," << m->second;
    }
}

}  // namespace
}  // namespace morrow::test
