#include <gtest/gtest.h>

#include <random>

#include "engine/engine.h"
#include "position_helpers.h"

using namespace morrow_test;

namespace {

class Evaluate : public EngineTest {};
class EvaluateOpenThree : public EngineTest {};
class EvaluateClosedCells : public EngineTest {};

}  // namespace

TEST_F(Evaluate, EmptyBoardIsEven) {
    EXPECT_EQ(evaluate(X), 0);
    EXPECT_EQ(evaluate(O), 0);
}

TEST_F(Evaluate, SingleStoneWeighsTwentyPerWindow) {
    put(10, 10, X);
    EXPECT_EQ(evaluate(X), 400);
    EXPECT_EQ(evaluate(O), -400);

    resetPosition();
    put(7, 12, O);
    EXPECT_EQ(evaluate(O), 400);
    EXPECT_EQ(evaluate(X), -400);

    // The corner lies in three windows only.
    resetPosition();
    put(0, 0, X);
    EXPECT_EQ(evaluate(X), 60);
    EXPECT_EQ(evaluate(O), -60);
}

// Three in a column: windows of three 3, of two 2, of one 2 + 45.
TEST_F(Evaluate, ThreeStonesAreAWinOnlyForTheirOwner) {
    putLine(10, 8, 0, 1, "XXX");
    EXPECT_EQ(evaluate(X), 20000);
    EXPECT_EQ(evaluate(O), -2000);
}

// Fours 2, threes 2, twos 2, ones 2 + 60, all the opponent's.
TEST_F(Evaluate, OpponentOpenFourOnlyWeighsInTheSum) {
    putLine(10, 6, 0, 1, "OOOO");
    ASSERT_FALSE(check_over());
    EXPECT_EQ(evaluate(X), -(20 * 62 + 80 * 2 + 300 * 2 + 900 * 2));
    EXPECT_EQ(evaluate(O), 20000);
}

TEST_F(Evaluate, FiveBeatsEverything) {
    // A five of the side to move against the opponent's open four ...
    putLine(2, 2, 0, 1, "XXXXX");
    putLine(10, 6, 0, 1, "OOOO");
    EXPECT_EQ(evaluate(X), 20000);
    // ... and the opponent's five against the side to move's four.
    EXPECT_EQ(evaluate(O), -20000);

    // An overline is a five too.
    resetPosition();
    putLine(12, 3, 1, 1, "OOOOOO");
    EXPECT_EQ(evaluate(O), 20000);
    EXPECT_EQ(evaluate(X), -20000);
}

TEST_F(Evaluate, WhenBothHaveAFiveTheLowestWindowDecides) {
    putLine(0, 0, 0, 1, "XXXXX");  // window 0
    putLine(5, 0, 0, 1, "OOOOO");  // window 80
    EXPECT_EQ(evaluate(X), 20000);
    EXPECT_EQ(evaluate(O), -20000);

    resetPosition();
    putLine(0, 0, 0, 1, "OOOOO");
    putLine(5, 0, 0, 1, "XXXXX");
    EXPECT_EQ(evaluate(X), -20000);
    EXPECT_EQ(evaluate(O), 20000);
}

TEST_F(Evaluate, OwnFourWinsOpenOrBlocked) {
    putLine(10, 5, 0, 1, "OXXXX");  // blocked by a stone
    EXPECT_EQ(evaluate(X), 20000);

    resetPosition();
    putLine(0, 0, 0, 1, "XXXX");  // blocked by the edge
    EXPECT_EQ(evaluate(X), 20000);

    resetPosition();
    putLine(6, 9, 1, 0, "XX-XX");  // broken
    EXPECT_EQ(evaluate(X), 20000);

    resetPosition();
    putLine(3, 2, 0, 1, "OXXXX");
    putLine(12, 6, 0, 1, "OOOO");  // the opponent's open four changes nothing
    EXPECT_EQ(evaluate(X), 20000);
    EXPECT_EQ(evaluate(O), 20000);

    resetPosition();
    putLine(4, 4, 1, 1, "XOOOO");
    EXPECT_EQ(evaluate(O), 20000);
}

// The shapes below are placed against the top edge of column 0 or in open
// space; every one has a six-cell window with both ends free.
TEST_F(EvaluateOpenThree, OpenShapesWin) {
    const char* shapes[] = {"-XXX--", "--XXX-", "-XX-X-", "-X-XX-"};
    for (const char* shape : shapes) {
        resetPosition();
        putLine(0, 0, 0, 1, shape);
        EXPECT_EQ(evaluate(X), 20000) << shape << " at the edge";

        resetPosition();
        putLine(9, 7, 0, 1, shape);
        EXPECT_EQ(evaluate(X), 20000) << shape << " in the open";

        // The same for the other side.
        resetPosition();
        std::string theirs = shape;
        for (char& c : theirs) c = c == 'X' ? 'O' : c;
        putLine(7, 9, 1, 1, theirs.c_str());
        EXPECT_EQ(evaluate(O), 20000) << theirs;
    }
}

// Column 10: X on 8..10, O on 7. Ones 46 vs 16, one two, one three.
TEST_F(EvaluateOpenThree, ThreeTouchingAnOpponentStoneIsNotOpen) {
    putLine(10, 7, 0, 1, "OXXX--");
    EXPECT_EQ(evaluate(X), 20 * (46 - 16) + 80 + 300);
}

// O on 6 and 12, X on 8..10: ones 45 vs 34, one three.
TEST_F(EvaluateOpenThree, ThreeBetweenTwoOpponentStonesIsNotOpen) {
    putLine(10, 6, 0, 1, "O-XXX-O");
    EXPECT_EQ(evaluate(X), 20 * (45 - 34) + 300);
}

// Column 0 from the corner: one window of three, one of two, seven of one.
TEST_F(EvaluateOpenThree, EdgeDecidesByOneCell) {
    putLine(0, 0, 0, 1, "XXX---");
    EXPECT_EQ(evaluate(X), 20 * 7 + 80 + 300);

    resetPosition();
    putLine(0, 0, 0, 1, "OOO---");
    EXPECT_EQ(evaluate(O), 20 * 7 + 80 + 300);
    EXPECT_EQ(evaluate(X), -(20 * 7 + 80 + 300));

    resetPosition();
    putLine(0, 0, 0, 1, "-XXX--");
    EXPECT_EQ(evaluate(X), 20000);
}

// Column 10, O on 8, 9, 11: ones 3 + 45, twos 3, threes 2.
TEST_F(EvaluateOpenThree, OpponentOpenThreeGivesNoEarlyResult) {
    putLine(10, 8, 0, 1, "XXX");
    EXPECT_EQ(evaluate(O), -2000);

    resetPosition();
    putLine(10, 8, 0, 1, "OO-O");
    EXPECT_EQ(evaluate(X), -(20 * 48 + 80 * 3 + 300 * 2));
    EXPECT_EQ(evaluate(O), 20000);
}

// Own three as before (threes 3, twos 2, ones 47); the opponent's open
// four on row 15 adds fours 2, threes 2, twos 2, ones 62.
TEST_F(EvaluateOpenThree, OpponentFourTurnsTheWinIntoTheSum) {
    putLine(10, 8, 0, 1, "XXX");
    ASSERT_EQ(evaluate(X), 20000);
    putLine(4, 15, 1, 0, "OOOO");
    EXPECT_EQ(evaluate(X), 20 * (47 - 62) + 80 * (2 - 2) + 300 * (3 - 2) - 900 * 2);
}

// A 15 x 15 game: the corner (14, 14) is a corner like (0, 0).
TEST_F(EvaluateClosedCells, AnnouncedCornerCountsLikeTheRealOne) {
    openPlayingArea(15, 15);
    init();
    put(14, 14, X);
    EXPECT_EQ(evaluate(X), 60);
    EXPECT_EQ(evaluate(O), -60);
}

// XXX--- against the announced edge is closed; -XXX-- still open.
TEST_F(EvaluateClosedCells, ThreeAgainstTheAnnouncedEdge) {
    openPlayingArea(15, 15);
    init();
    putLine(14, 14, 0, -1, "XXX");
    EXPECT_EQ(evaluate(X), 20 * 7 + 80 + 300);

    resetPosition();
    openPlayingArea(15, 15);
    init();
    putLine(14, 14, 0, -1, "-XXX");
    EXPECT_EQ(evaluate(X), 20000);
}

// A closed column 5 makes column 6 an edge column like column 0.
TEST_F(EvaluateClosedCells, ClosedColumnActsAsAnEdge) {
    for (int y = 0; y < 20; ++y) setCellClosed(5, y, true);
    init();
    putLine(6, 0, 0, 1, "XXX");
    EXPECT_EQ(evaluate(X), 20 * 7 + 80 + 300);

    resetPosition();
    for (int y = 0; y < 20; ++y) setCellClosed(5, y, true);
    init();
    putLine(6, 0, 0, 1, "-XXX");
    EXPECT_EQ(evaluate(X), 20000);
}

// Column 10: O on 5, X on 6..9, (10, 10) closed. Only one window of the
// column stays alive (O alone on 1..5): ones 60 vs 16.
TEST_F(EvaluateClosedCells, FourWhoseEmptyCellIsClosedIsNoFour) {
    setCellClosed(10, 10, true);
    init();
    putLine(10, 5, 0, 1, "OXXXX");
    EXPECT_EQ(evaluate(X), 20 * (60 - 16));
    EXPECT_EQ(evaluate(O), -20 * (60 - 16));
}

// Random patterns against the announced corner of a 15 x 15 game and against
// the real corner (19, 19) score alike; so do patterns against closed low
// rows and columns and against the real corner (0, 0).
TEST_F(EvaluateClosedCells, PatternsScoreAsAtTheRealEdge) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        const auto pattern = randomPattern(rng, 7, 15 + round % 40);

        resetPosition();
        for (const Stone& s : pattern) put(19 - s.x, 19 - s.y, s.side);
        const int farX = evaluate(X), farO = evaluate(O);

        resetPosition();
        openPlayingArea(15, 15);
        init();
        for (const Stone& s : pattern) put(14 - s.x, 14 - s.y, s.side);
        ASSERT_EQ(evaluate(X), farX) << "round " << round;
        ASSERT_EQ(evaluate(O), farO) << "round " << round;

        resetPosition();
        for (const Stone& s : pattern) put(s.x, s.y, s.side);
        const int nearX = evaluate(X), nearO = evaluate(O);

        resetPosition();
        closeLowEdges(5);
        init();
        for (const Stone& s : pattern) put(s.x + 5, s.y + 5, s.side);
        ASSERT_EQ(evaluate(X), nearX) << "round " << round;
        ASSERT_EQ(evaluate(O), nearO) << "round " << round;
    }
}
