#include <gtest/gtest.h>

#include <random>

#include "engine/engine.h"
#include "position_helpers.h"

using namespace morrow_test;

namespace {

class HasFour : public EngineTest {};

class Vcf : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        vcfBestMove = Untouched;
    }

    // Runs vcf and checks that it leaves board exactly as it found it.
    bool run(int depth, int side, int lastX, int lastY) {
        const BoardCopy before = snapshot();
        const bool found = vcf(depth, side, lastX, lastY);
        EXPECT_EQ(snapshot(), before) << "vcf(" << depth << ", " << side << ", " << lastX << ", " << lastY
                                      << ") left the board changed";
        return found;
    }

    // What the other engine functions make of the position, which must not
    // change either once vcf has put its stones back.
    struct View {
        bool four[2];
        int score[2];
        onemove list[CellCount];
        bool operator==(const View& o) const {
            if (four[0] != o.four[0] || four[1] != o.four[1] || score[0] != o.score[0] || score[1] != o.score[1])
                return false;
            for (int i = 0; i < CellCount; ++i)
                if (list[i].x != o.list[i].x || list[i].y != o.list[i].y || list[i].value != o.list[i].value)
                    return false;
            return true;
        }
    };
    static void look(View& v, int side) {
        v.four[0] = hasFour(X);
        v.four[1] = hasFour(O);
        v.score[0] = evaluate(X);
        v.score[1] = evaluate(O);
        SortMoves(side, v.list);
    }

    void expectBestMove(int x, int y) {
        EXPECT_EQ(vcfBestMove.x, x);
        EXPECT_EQ(vcfBestMove.y, y);
    }

    static constexpr cellpos Untouched = {17, 3};
};

class VcfClosedCells : public Vcf {};

// Threes of `side` down the column to (ex, ey) and along the row to it, each
// shut at its far end by the other side. (ex, ey) is the first empty cell of
// both three-windows and makes a double four: the column window is tried
// first, and only its first try wins. Its second empty cell is (ex, ey + 1),
// that of the row window (ex + 1, ey).
void putDoubleFourSetup(int ex, int ey, int side) {
    const int other = otherSide(side);
    put(ex, ey - 4, other);
    for (int d = 1; d <= 3; ++d) put(ex, ey - d, side);
    put(ex - 4, ey, other);
    for (int d = 1; d <= 3; ++d) put(ex - d, ey, side);
}

// The same threes coming from the other side: (ex, ey) is now the second
// empty cell of both windows, so only a second try wins. The column
// window's first empty cell is (ex, ey - 1), the row window's (ex - 1, ey).
void putSecondTrySetup(int ex, int ey, int side) {
    const int other = otherSide(side);
    put(ex, ey + 4, other);
    for (int d = 1; d <= 3; ++d) put(ex, ey + d, side);
    put(ex + 4, ey, other);
    for (int d = 1; d <= 3; ++d) put(ex + d, ey, side);
}

}  // namespace

TEST_F(HasFour, EmptyBoardHasNone) {
    EXPECT_FALSE(hasFour(X));
    EXPECT_FALSE(hasFour(O));
}

TEST_F(HasFour, FourStonesAndAnEmptyCell) {
    putLine(10, 6, 0, 1, "XXXX");
    EXPECT_TRUE(hasFour(X));
    EXPECT_FALSE(hasFour(O));

    resetPosition();
    putLine(3, 8, 1, 1, "OO-OO");
    EXPECT_TRUE(hasFour(O));
    EXPECT_FALSE(hasFour(X));
}

TEST_F(HasFour, BlockedWindowDoesNotCount) {
    putLine(0, 0, 0, 1, "XXXXO");  // the edge shuts the other end
    EXPECT_FALSE(hasFour(X));
    EXPECT_FALSE(hasFour(O));
}

TEST_F(HasFour, FiveIsNotAFourButItsNeighbourWindowIs) {
    putLine(0, 0, 0, 1, "XXXXXO");
    EXPECT_FALSE(hasFour(X));

    resetPosition();
    putLine(0, 0, 0, 1, "XXXXX");
    EXPECT_TRUE(hasFour(X));  // (0, 1) ... (0, 5)
}

TEST_F(Vcf, EmptyBoardHasNone) {
    EXPECT_FALSE(run(0, X, -1, -1));
    EXPECT_FALSE(run(0, O, -1, -1));
    expectBestMove(Untouched.x, Untouched.y);
}

TEST_F(Vcf, ExistingFourWinsWithoutAMove) {
    putLine(10, 6, 0, 1, "XXXX");
    EXPECT_TRUE(run(0, X, -1, -1));
    expectBestMove(Untouched.x, Untouched.y);
    EXPECT_TRUE(run(6, X, 3, 3));
    EXPECT_FALSE(run(7, X, 10, 9));
    EXPECT_FALSE(run(7, X, -1, -1));
    expectBestMove(Untouched.x, Untouched.y);
}

TEST_F(Vcf, DoubleFourFoundAtDepthOne) {
    putDoubleFourSetup(12, 9, X);
    ASSERT_FALSE(hasFour(X));
    EXPECT_TRUE(run(0, X, -1, -1));
    expectBestMove(12, 9);

    resetPosition();
    vcfBestMove = Untouched;
    putDoubleFourSetup(6, 14, O);
    EXPECT_TRUE(run(0, O, -1, -1));
    expectBestMove(6, 14);
    EXPECT_FALSE(run(0, X, -1, -1));
}

// The win needs one four move: found from depth 5, not from depth 6, and
// only the outermost call writes the move.
TEST_F(Vcf, SixFourMovesAtMost) {
    putDoubleFourSetup(12, 9, X);
    EXPECT_TRUE(run(5, X, -1, -1));
    EXPECT_FALSE(run(6, X, -1, -1));
    expectBestMove(Untouched.x, Untouched.y);
    EXPECT_TRUE(run(1, X, 12, 9));
    expectBestMove(Untouched.x, Untouched.y);
}

// Side -400 tests the first empty cell: within five rows and five columns
// of the last attack cell the first try is made, one step further it is not.
TEST_F(Vcf, LocalityReachesFiveCells) {
    struct Case {
        int ex, ey;
        bool found;
    };
    const Case cases[] = {{15, 10, true}, {5, 10, true}, {15, 15, true}, {10, 5, true}, {5, 5, true},
                          {16, 10, false}, {4, 10, false}, {10, 16, false}, {10, 4, false}, {16, 15, false}};
    for (const Case& c : cases) {
        resetPosition();
        putDoubleFourSetup(c.ex, c.ey, O);
        EXPECT_EQ(run(1, O, 10, 10), c.found) << "first empty cell " << c.ex << "," << c.ey;
        EXPECT_TRUE(run(0, O, -1, -1)) << "the outermost call looks everywhere";
    }
}

// Side 1 tests the second empty cell instead, (ex, ey + 1) here.
TEST_F(Vcf, SideOneTestsTheSecondEmptyCell) {
    struct Case {
        int ex, ey;
        bool found;
    };
    const Case cases[] = {{15, 9, true}, {5, 14, true}, {16, 9, false}, {10, 15, false}, {10, 4, true}};
    for (const Case& c : cases) {
        resetPosition();
        putDoubleFourSetup(c.ex, c.ey, X);
        EXPECT_EQ(run(1, X, 10, 10), c.found) << "second empty cell " << c.ex << "," << c.ey + 1;
    }
}

// First empty cell 5 rows away, second 6: side -400 gets its first try,
// side 1 gets neither.
TEST_F(Vcf, FirstTryTestCellDiffersBySide) {
    putDoubleFourSetup(10, 15, O);
    EXPECT_TRUE(run(1, O, 10, 10));

    resetPosition();
    putDoubleFourSetup(10, 15, X);
    EXPECT_FALSE(run(1, X, 10, 10));
}

// Only the second try wins here; it needs its own cell near, whatever the side.
TEST_F(Vcf, SecondTryNeedsItsCellNear) {
    for (int side : {X, O}) {
        resetPosition();
        putSecondTrySetup(10, 13, side);
        EXPECT_FALSE(run(1, side, 10, 7)) << side;  // (10, 13) is 6 rows away
        EXPECT_TRUE(run(1, side, 10, 8)) << side;
        EXPECT_TRUE(run(0, side, -1, -1)) << side;
    }
    expectBestMove(10, 13);
}

// A far three met first sets the skip flag; the winning first try of a
// later, near three is then not made.
TEST_F(Vcf, FarThreeStopsLaterFirstTries) {
    putDoubleFourSetup(12, 10, O);
    EXPECT_TRUE(run(1, O, 10, 10));

    putLine(2, 0, 0, 1, "XOOO");  // column 2 comes before column 12
    EXPECT_FALSE(run(1, O, 10, 10));
    EXPECT_TRUE(run(0, O, -1, -1));
    expectBestMove(12, 10);
}

// Blocking the first try of the column 1 three makes a four of the defender
// on row 5; the flag that sets stops the winning first try further on, even
// in the outermost call.
TEST_F(Vcf, BlockMakingADefenderFourStopsLaterFirstTries) {
    putLine(1, 0, 0, 1, "OXXX");
    putDoubleFourSetup(14, 12, X);
    EXPECT_TRUE(run(0, X, -1, -1));
    expectBestMove(14, 12);

    vcfBestMove = Untouched;
    putLine(2, 5, 1, 0, "OOO");
    EXPECT_FALSE(run(0, X, -1, -1));
    expectBestMove(Untouched.x, Untouched.y);
}

// Here the second try's block makes the defender's four on row 4: the whole
// call gives up before it reaches the winning three.
TEST_F(Vcf, SecondTryBlockMakingADefenderFourEndsTheCall) {
    putLine(1, 0, 0, 1, "OXXX");
    putDoubleFourSetup(14, 12, X);
    putLine(2, 4, 1, 0, "OOO");
    EXPECT_FALSE(run(0, X, -1, -1));
    expectBestMove(Untouched.x, Untouched.y);
}

// Random positions of every density: vcf always puts back what it tried.
TEST_F(Vcf, RandomPositionsComeBackUnchanged) {
    std::mt19937 rng(2718);
    int found = 0;
    static View before, after;
    for (int round = 0; round < 3000; ++round) {
        resetPosition();
        const bool small = round % 5 == 4;
        const int size = small ? 10 + static_cast<int>(rng() % 10) : 20;
        if (small) {
            openPlayingArea(size, size);
            init();
        }
        const int box = 6 + static_cast<int>(rng() % (size - 5));
        const int bx = static_cast<int>(rng() % (size - box + 1)), by = static_cast<int>(rng() % (size - box + 1));
        const int stones = 4 + static_cast<int>(rng() % 40);
        for (int n = 0; n < stones; ++n) {
            const int x = bx + static_cast<int>(rng() % box), y = by + static_cast<int>(rng() % box);
            if (board[x][y] == 0) put(x, y, n % 2 ? O : X);
        }
        for (int side : {X, O}) {
            if (round % 4 == 0) look(before, side);
            if (!hasFour(otherSide(side))) found += run(0, side, -1, -1);
            const int depth = static_cast<int>(rng() % 8);
            run(depth, side, bx + static_cast<int>(rng() % box), by + static_cast<int>(rng() % box));
            if (round % 4 == 0) {
                look(after, side);
                ASSERT_TRUE(before == after) << "round " << round << ": the position reads differently after vcf";
            }
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(found, 100);  // the positions do hold wins
}

// A four whose empty cell is closed is no four, for hasFour and for vcf.
TEST_F(VcfClosedCells, FourIntoAClosedCell) {
    setCellClosed(10, 10, true);
    init();
    putLine(10, 5, 0, 1, "OXXXX");
    EXPECT_FALSE(hasFour(X));
    EXPECT_FALSE(run(0, X, -1, -1));

    resetPosition();
    openPlayingArea(15, 15);
    init();
    putLine(14, 10, 0, 1, "OXXXX");  // (14, 15) lies past the announced edge
    EXPECT_FALSE(hasFour(X));
    EXPECT_FALSE(run(0, X, -1, -1));
}

// With the row window's second empty cell closed, the double four is only
// a single four and the block stops it.
TEST_F(VcfClosedCells, ClosedCellSpoilsTheDoubleFour) {
    putDoubleFourSetup(12, 9, X);
    ASSERT_TRUE(run(0, X, -1, -1));
    resetPosition();
    setCellClosed(13, 9, true);
    init();
    putDoubleFourSetup(12, 9, X);
    EXPECT_FALSE(run(0, X, -1, -1));
}

// The defender's row 5 would be a four after the block on (1, 5), but both
// of its windows run into a closed cell: no four, no skip flag, and the
// winning first try further on is made.
TEST_F(VcfClosedCells, BlockIntoClosedWindowsMakesNoFour) {
    setCellClosed(0, 5, true);
    setCellClosed(5, 5, true);
    init();
    putLine(1, 0, 0, 1, "OXXX");
    putLine(2, 5, 1, 0, "OOO");
    putDoubleFourSetup(14, 12, X);
    EXPECT_TRUE(run(0, X, -1, -1));
    expectBestMove(14, 12);
}

// Random patterns in the announced corner of a 15 x 15 game play out as in
// the real corner (19, 19); patterns against closed low rows and columns as
// against the real corner (0, 0). Translation keeps the window order, so
// even the move found must be the same, shifted.
TEST_F(VcfClosedCells, PatternsPlayAsAtTheRealEdge) {
    std::mt19937 rng(31415);
    for (int round = 0; round < 250; ++round) {
        const auto pattern = randomPattern(rng, 7, 15 + round % 35);
        const int la = static_cast<int>(rng() % 7), lb = static_cast<int>(rng() % 7);
        const int lastDepth = 1 + static_cast<int>(rng() % 3);

        for (int layout = 0; layout < 2; ++layout) {
            // layout 0: (19 - a, 19 - b) open vs (14 - a, 14 - b) in 15 x 15;
            // layout 1: (a, b) open vs (a + 5, b + 5) with rows/columns 0..4 closed.
            auto realCell = [&](int a, int b) { return layout == 0 ? cellpos{19 - a, 19 - b} : cellpos{a, b}; };
            const int shift = layout == 0 ? -5 : 5;

            bool four[2][2], win[2][2], winLast[2][2];
            cellpos move[2][2];
            for (int closed = 0; closed < 2; ++closed) {
                resetPosition();
                if (closed && layout == 0) openPlayingArea(15, 15);
                if (closed && layout == 1) closeLowEdges(5);
                init();
                const int d = closed ? shift : 0;
                for (const Stone& s : pattern) {
                    const cellpos c = realCell(s.x, s.y);
                    put(c.x + d, c.y + d, s.side);
                }
                const cellpos last = realCell(la, lb);
                for (int k = 0; k < 2; ++k) {
                    const int side = k == 0 ? X : O;
                    four[closed][k] = hasFour(side);
                    vcfBestMove = Untouched;
                    win[closed][k] = run(0, side, -1, -1);
                    move[closed][k] = vcfBestMove;
                    if (closed && move[closed][k].x != Untouched.x) {
                        move[closed][k].x -= d;
                        move[closed][k].y -= d;
                    }
                    winLast[closed][k] = run(lastDepth, side, last.x + d, last.y + d);
                }
            }
            for (int k = 0; k < 2; ++k) {
                ASSERT_EQ(four[1][k], four[0][k]) << "round " << round << " layout " << layout << " side " << k;
                ASSERT_EQ(win[1][k], win[0][k]) << "round " << round << " layout " << layout << " side " << k;
                ASSERT_EQ(move[1][k].x, move[0][k].x) << "round " << round << " layout " << layout;
                ASSERT_EQ(move[1][k].y, move[0][k].y) << "round " << round << " layout " << layout;
                ASSERT_EQ(winLast[1][k], winLast[0][k]) << "round " << round << " layout " << layout;
            }
        }
    }
}
