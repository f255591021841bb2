// The rule announced by INFO rule, played by the real executable: one
// position per rule where the free-style answer would lose or be a foul.
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace morrow::test {
namespace {

class Rules : public BrainTest {
protected:
    std::string answer(const std::string& rule, const std::vector<Stone>& stones) {
        send("START 15");
        EXPECT_EQ(reply(), "OK");
        send("INFO rule " + rule);
        sendBoard(stones);
        return reply();
    }
};

TEST_F(Rules, ExactFiveBlocksInsteadOfMakingSix) {
    // Morrow's XXX.XX would make six; the opponent's four on row 4 is real.
    const std::string move = answer("1", {{2, 2, 1}, {3, 2, 1}, {4, 2, 1}, {6, 2, 1}, {7, 2, 1},
                                          {2, 4, 2}, {3, 4, 2}, {4, 4, 2}, {5, 4, 2}});
    EXPECT_TRUE(move == "1,4" || move == "6,4") << move;
    // A new START keeps the rule.
    send("START 15");
    EXPECT_EQ(reply(), "OK");
    sendBoard({{2, 2, 1}, {3, 2, 1}, {4, 2, 1}, {6, 2, 1}, {7, 2, 1}, {2, 4, 2}, {3, 4, 2}, {4, 4, 2}, {5, 4, 2}});
    const std::string again = reply();
    EXPECT_TRUE(again == "1,4" || again == "6,4") << again;
}

TEST_F(Rules, RenjuBlackDoesNotPlayTheDoubleFour) {
    // Morrow has as many stones as the opponent, so it is black; (8,6)
    // would make two fours.
    const std::string move = answer("4", {{8, 3, 1}, {8, 4, 1}, {8, 5, 1}, {5, 6, 1}, {6, 6, 1}, {7, 6, 1},
                                          {8, 2, 2}, {4, 6, 2}, {2, 9, 2}, {3, 9, 2}, {5, 9, 2}, {7, 9, 2}});
    EXPECT_NE(move, "8,6");
    EXPECT_TRUE(parseMove(move).has_value()) << move;
}

TEST_F(Rules, CaroBlocksInsteadOfABlockedFive) {
    // O XXXX . O: filling the gap makes a five with an opponent stone at
    // each end, which wins nothing under caro.
    const std::string move = answer("8", {{2, 2, 2}, {3, 2, 1}, {4, 2, 1}, {5, 2, 1}, {6, 2, 1}, {8, 2, 2},
                                          {4, 4, 2}, {5, 4, 2}, {6, 4, 2}, {7, 4, 2}, {12, 12, 1}});
    EXPECT_TRUE(move == "3,4" || move == "8,4") << move;
}

}  // namespace
}  // namespace morrow::test
