// The rules beside free-style: which fives win, renju black's fouls, and
// what the search and VCF make of them.
#include <random>
#include <string>

#include "position_helpers.h"

namespace morrow_test {
namespace {

class Rules : public EngineTest {
protected:
    void TearDown() override {
        DepthLimit = DefaultSearchDepth;
        NodeLimit = 0;
        Rule = GameRule::FreeStyle;
        setGameRule(GameRule::FreeStyle, 0);
        EngineTest::TearDown();
    }

    // Rows of a picture from (2, 2): X and O are stones of `x` and `o`,
    // '*' is returned. Written on `board` alone, as run() and the foul test
    // read it.
    cellpos draw(std::initializer_list<const char*> rows, int x = X, int o = O) {
        cellpos mark{-1, -1};
        int y = 2;
        for (const char* row : rows) {
            for (int i = 0; row[i]; ++i) {
                const int cx = 2 + i;
                if (row[i] == 'X') board[cx][y] = x;
                if (row[i] == 'O') board[cx][y] = o;
                if (row[i] == '*') mark = {cx, y};
            }
            ++y;
        }
        return mark;
    }

    void replay() {
        init();
        for (int cx = 0; cx < BoardSize; ++cx)
            for (int cy = 0; cy < BoardSize; ++cy)
                if (board[cx][cy] != 0) MakeMove<true>(cx, cy, board[cx][cy]);
    }
};

struct FoulCase {
    const char* name;
    Foul expected;
    std::initializer_list<const char*> rows;
};

// Every verdict here agrees with c-gomoku-cli's renju referee.
const FoulCase FoulCases[] = {
    {"double three", Foul::DoubleThree, {".....X", ".....X", "...XX*"}},
    {"split three and three", Foul::DoubleThree, {".....X", "......", "..X.X*", ".....X"}},
    {"double four", Foul::DoubleFour, {"......O", "......X", "......X", "......X", "..OXXX*"}},
    {"double four in one line", Foul::DoubleFour, {".X.X*X.X"}},
    {"overline", Foul::Overline, {"..XXX*XX"}},
    {"five that is also a double four", Foul::None, {"......X", "......X", "......X", "......", ".OXXXX*"}},
    {"five that is also a double three", Foul::None, {"......X", "......X", "......", "..XXXX*", "....XX"}},
    {"four and three", Foul::None, {"......X", "......X", ".OXXX*"}},
    {"three against a white stone, and a three", Foul::None, {".....X", ".....X", "..OXX*"}},
    // The row's three could only become a straight four on (8, 5), which
    // would then be a double three itself: a false three.
    {"false three", Foul::None, {".....X..X", ".....X.X", ".O.XX*", "......X", "......X"}},
    {"the same three with a legal four cell", Foul::DoubleThree, {".....X", ".....X", ".O.XX*", "......X", "......X"}},
};

TEST_F(Rules, RenjuFoulsAsTheRefereeJudgesThem) {
    for (const FoulCase& c : FoulCases) {
        for (const bool morrowIsBlack : {true, false}) {
            resetPosition();
            const cellpos move = morrowIsBlack ? draw(c.rows) : draw(c.rows, O, X);
            setGameRule(GameRule::Renju, morrowIsBlack ? 0 : 1);
            EXPECT_EQ(foulAt(move.x, move.y), c.expected) << c.name << (morrowIsBlack ? "" : " (black is side -400)");
            const int black = morrowIsBlack ? X : O;
            EXPECT_EQ(isFoul(move.x, move.y, black), c.expected != Foul::None) << c.name;
            EXPECT_FALSE(isFoul(move.x, move.y, otherSide(black))) << c.name << ": white has no fouls";
            EXPECT_EQ(board[move.x][move.y], 0) << c.name << ": the test leaves the board as it was";
        }
    }
}

// The barred windows follow every stone, trial stones included: the line
// state kept move by move equals the one rebuilt from the board.
TEST_F(Rules, IncrementalLineStateMatchesARebuild) {
    std::mt19937 rng(15);
    for (const GameRule rule : {GameRule::ExactFive, GameRule::Renju, GameRule::Caro}) {
        for (int game = 0; game < 30; ++game) {
            resetPosition();
            setGameRule(rule, game % 2);
            replay();
            std::vector<Stone> played;
            for (int ply = 0; ply < 40; ++ply) {
                const int x = 6 + static_cast<int>(rng() % 8), y = 6 + static_cast<int>(rng() % 8);
                if (board[x][y] != 0) continue;
                const int side = rng() % 2 ? X : O;
                MakeMove<true>(x, y, side);
                played.push_back({x, y, side});
                if (rng() % 4 == 0) {
                    unMakeMove<true>(x, y, side);
                    played.pop_back();
                }
            }
            // A trial pair on top, then the state is compared.
            int trialX = -1, trialY = -1;
            for (int i = 0; i < 50 && trialX < 0; ++i) {
                const int x = 5 + static_cast<int>(rng() % 10), y = 5 + static_cast<int>(rng() % 10);
                if (board[x][y] == 0) trialX = x, trialY = y;
            }
            const int attacker = static_cast<int>(rng() % 2);
            setTrialStone<true>(trialX, trialY, attacker == 0 ? X : O, attacker);
            const int tallyFour = Tally[attacker][4];
            std::uint64_t threes[WindowWords];
            std::copy(ThreeSet[attacker], ThreeSet[attacker] + WindowWords, threes);
            setTrialStone<true>(trialX, trialY, 0, attacker);

            const int fives[2] = {FiveCount[0], FiveCount[1]};
            const int openThrees[2] = {OpenThreeCount[0], OpenThreeCount[1]};
            int tally[2][5];
            std::copy(&Tally[0][0], &Tally[0][0] + 10, &tally[0][0]);
            std::vector<int> lineTotal(&LineTotal[0][0], &LineTotal[0][0] + 2 * CellCount);
            std::vector<int> fourTotal(&FourTotal[0][0], &FourTotal[0][0] + 2 * CellCount);

            replay();
            const std::string where = "rule " + std::to_string(static_cast<int>(rule)) + " game " + std::to_string(game);
            EXPECT_EQ(fives[0], FiveCount[0]) << where;
            EXPECT_EQ(fives[1], FiveCount[1]) << where;
            EXPECT_EQ(openThrees[0], OpenThreeCount[0]) << where;
            EXPECT_EQ(openThrees[1], OpenThreeCount[1]) << where;
            for (int k = 0; k < 2; ++k)
                for (int n = 1; n <= 4; ++n) EXPECT_EQ(tally[k][n], Tally[k][n]) << where << " k " << k << " n " << n;
            EXPECT_TRUE(std::equal(lineTotal.begin(), lineTotal.end(), &LineTotal[0][0])) << where;
            EXPECT_TRUE(std::equal(fourTotal.begin(), fourTotal.end(), &FourTotal[0][0])) << where;

            MakeMove<true>(trialX, trialY, attacker == 0 ? X : O);
            EXPECT_EQ(tallyFour, Tally[attacker][4]) << where << ": fours after a trial stone";
            EXPECT_TRUE(std::equal(threes, threes + WindowWords, ThreeSet[attacker])) << where << ": threes after a trial stone";
        }
    }
}

TEST_F(Rules, ExactFiveOverlinesWinNothing) {
    draw({"XXX.XX", "OOO.O"});
    setGameRule(GameRule::ExactFive, 0);
    replay();
    EXPECT_EQ(Tally[0][4], 0) << "a four whose five would be six is no four";
    EXPECT_EQ(Tally[1][4], 1);
    MakeMove<true>(5, 2, X);
    EXPECT_FALSE(check_over()) << "six in a row";
    MakeMove<true>(5, 3, O);
    EXPECT_TRUE(check_over()) << "exactly five";
    EXPECT_EQ(evaluate<true>(X), -WinScore);

    // Morrow to move: its "four" would make six, so it must block.
    resetPosition();
    draw({"XXX.XX", "", "OOOO"});
    Rule = GameRule::ExactFive;
    const cellpos move = run();
    EXPECT_TRUE((move.x == 1 || move.x == 6) && move.y == 4) << move.x << "," << move.y;
}

TEST_F(Rules, CaroFiveBetweenTwoOpponentStonesWinsNothing) {
    draw({"OXXXX.O", "", "..OOOO"});
    setGameRule(GameRule::Caro, 0);
    replay();
    EXPECT_EQ(Tally[0][4], 0);
    MakeMove<true>(7, 2, X);
    EXPECT_FALSE(check_over()) << "O XXXXX O";
    unMakeMove<true>(7, 2, X);

    // One open end, or an overline, still wins.
    resetPosition();
    draw({"OXXXX..", "XXX.XX"});
    setGameRule(GameRule::Caro, 0);
    replay();
    MakeMove<true>(7, 2, X);
    EXPECT_TRUE(check_over());
    unMakeMove<true>(7, 2, X);
    MakeMove<true>(5, 3, X);
    EXPECT_TRUE(check_over()) << "six in a row wins under caro";

    // Morrow to move blocks instead of "completing" the blocked five.
    resetPosition();
    draw({"OXXXX.O", "", "..OOOO"});
    Rule = GameRule::Caro;
    const cellpos move = run();
    EXPECT_TRUE((move.x == 3 || move.x == 8) && move.y == 4) << move.x << "," << move.y;
}

TEST_F(Rules, RenjuBlackNeverPlaysAFoul) {
    // Black (Morrow, as many stones as white) would win at once with the
    // double four; under renju it must play elsewhere.
    const cellpos foul = draw({"......O", "......X", "......X", "......X", "..OXXX*", "", "", "OO.O.O"});
    EXPECT_EQ(run().x, foul.x);
    EXPECT_EQ(resultpos.y, foul.y);
    Rule = GameRule::Renju;
    const cellpos move = run();
    EXPECT_FALSE(move.x == foul.x && move.y == foul.y);
    EXPECT_EQ(board[move.x][move.y], 0);
    EXPECT_EQ(foulAt(move.x, move.y), Foul::None);

    // A deep turn knows the rule as well, with nothing left over from the
    // plain turn's settings.
    setGameRule(GameRule::FreeStyle, 0);
    Rule = GameRule::Renju;
    DepthLimit = 6;
    NodeLimit = 20000;
    const cellpos deep = run();
    EXPECT_FALSE(deep.x == foul.x && deep.y == foul.y) << "deep turn";
    EXPECT_EQ(board[deep.x][deep.y], 0);
    EXPECT_EQ(foulAt(deep.x, deep.y), Foul::None);
}

TEST_F(Rules, RenjuWhiteWinsWithAFourBlackMayNotBlock) {
    // White (O) makes a four on (8, 4) whose only block, (7, 4), is a double
    // three for black: no defence, so a win by fours. Without fouls black
    // simply blocks.
    draw({".....X", ".....X", ".XOOO", "....X", "...X"});
    const int white = O;
    setGameRule(GameRule::Renju, 0);
    replay();
    HaveVcfBestMove = false;
    EXPECT_TRUE(ruledVcf(0, white, -1, -1));
    EXPECT_TRUE(HaveVcfBestMove);
    setGameRule(GameRule::ExactFive, 0);
    replay();
    EXPECT_FALSE(ruledVcf(0, white, -1, -1));
}

}  // namespace
}  // namespace morrow_test
