// Line shapes and threat classes: what a stone makes in one line, under
// each five rule, and what four lines make together.
#include <string>

#include "deep_helpers.h"

namespace deep_test {
namespace {

// A line written with its cell under test as '*', 'X' own stones, 'O' the
// other side's, '#' the edge; cells not written are empty.
Shape shapeOf(const std::string& text, FiveRule rule) {
    const std::size_t star = text.find('*');
    Color cells[11];
    for (int i = 0; i < 11; ++i) {
        const long at = static_cast<long>(star) + i - 5;
        const char c = at >= 0 && at < static_cast<long>(text.size()) ? text[static_cast<std::size_t>(at)] : '.';
        cells[i] = c == 'X' ? BlackStone : c == 'O' ? WhiteStone : c == '#' ? Wall : Empty;
    }
    return lineShape(cells, BlackStone, rule);
}

TEST(Shapes, LinesUnderEachFiveRule) {
    struct Case {
        const char* line;
        Shape freestyle, exact, caro;
    };
    const Case cases[] = {
        {"XXXX*", Five, Five, Five},
        {"XX*XX", Five, Five, Five},
        {"XXXX*X", Five, Overline, Five},
        {"OXXXX*O", Five, Five, Dead},    // caro: a five between two stones wins nothing
        {"#XXXX*#", Five, Five, Five},    // ... but the edge blocks nothing
        {"..XXX*..", F4, F4, F4},
        {"X.XXX*.", F4, B4, F4},          // exact five: the far end would make six
        {"OXXX*.", B4, B4, B4},
        {"OXXX.*", B4, B4, B4},
        {"X.X*X.X", FourFour, FourFour, FourFour},
        {"..XX*...", F3, F3, F3},
        {"..X.X*..", F3, F3, F3},
        {"OXX*...", B3, B3, B3},
        {"#.XX*.#", B3, B3, B3},          // no room for an open four
        {"O.XX*.O", B3, B3, Dead},       // caro: its only five lies between the stones
        {".....X*.....", F2A, F2A, F2A},
        {"O.X*...", F2, F2, F2},
        {"OX*...", B2, B2, B2},
        {"O.*...", F1, F1, F1},
        {"O*...O", Dead, Dead, Dead},     // five cells between the stones hold no five with room
        {"O*....O", B1, B1, Dead},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shapeOf(c.line, FiveRule::FiveOrMore), c.freestyle) << c.line << " free-style";
        EXPECT_EQ(shapeOf(c.line, FiveRule::ExactlyFive), c.exact) << c.line << " exact five";
        EXPECT_EQ(shapeOf(c.line, FiveRule::NotBlockedBothEnds), c.caro) << c.line << " caro";
    }
}

TEST(Shapes, ThreatClassesAndRenjuFouls) {
    struct Case {
        Shape shapes[4];
        Threat free, renjuBlack;
        bool check;
    };
    const Case cases[] = {
        {{Five, Overline, Dead, Dead}, MakesFive, Foul, false},  // five beside an overline
        {{Five, B4, B4, Dead}, MakesFive, MakesFive, false},    // a five that is also a double four
        {{Overline, F3, Dead, Dead}, MakesThree, Foul, false},
        {{B4, B4, Dead, Dead}, MakesOpenFour, Foul, false},
        {{FourFour, Dead, Dead, Dead}, MakesOpenFour, Foul, false},
        {{F4, F3, Dead, Dead}, MakesOpenFour, MakesOpenFour, false},
        {{F4, F3, F3, Dead}, MakesOpenFour, MakesOpenFour, true},
        {{B4, F3, Dead, Dead}, MakesFourThree, MakesFourThree, false},
        {{B4, B3, Dead, Dead}, MakesFourPlus, MakesFourPlus, false},
        {{F3, F3, Dead, Dead}, MakesDoubleThree, MakesDoubleThree, true},
        {{F3, F2, Dead, Dead}, MakesThreePlus, MakesThreePlus, false},
        {{B3, F2A, Dead, Dead}, MakesClosedThreePlus, MakesClosedThreePlus, false},
        {{F2, F2, B1, Dead}, MakesDoubleTwo, MakesDoubleTwo, false},
        {{F1, B2, B1, Dead}, NoThreat, NoThreat, false},
    };
    for (const Case& c : cases) {
        bool check = true;
        EXPECT_EQ(classify(c.shapes, false, check), c.free);
        EXPECT_FALSE(check);
        EXPECT_EQ(classify(c.shapes, true, check), c.renjuBlack);
        EXPECT_EQ(check, c.check);
    }
}

}  // namespace
}  // namespace deep_test
