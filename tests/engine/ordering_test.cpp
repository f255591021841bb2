#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "engine/engine.h"
#include "position_helpers.h"

using namespace morrow_test;

namespace {

class SortMovesTest : public EngineTest {
protected:
    onemove list[CellCount];

    void sortFor(int side) {
        for (onemove& m : list) m = {-9, -9, -9};
        SortMoves(side, list);
    }
    int valueOf(int x, int y) const {
        for (const onemove& m : list)
            if (m.x == x && m.y == y) return m.value;
        ADD_FAILURE() << "cell " << x << "," << y << " missing from the list";
        return -1;
    }
    void expectHead(std::initializer_list<onemove> head) const {
        int i = 0;
        for (const onemove& want : head) {
            EXPECT_EQ(list[i].x, want.x) << "entry " << i;
            EXPECT_EQ(list[i].y, want.y) << "entry " << i;
            EXPECT_EQ(list[i].value, want.value) << "entry " << i;
            ++i;
        }
    }
    // The list holds each cell once and is ordered by value, then by
    // descending cell index.
    void expectWellFormed() const {
        bool seen[BoardSize][BoardSize] = {};
        for (int i = 0; i < CellCount; ++i) {
            const onemove& m = list[i];
            ASSERT_TRUE(m.x >= 0 && m.x < 20 && m.y >= 0 && m.y < 20) << "entry " << i;
            ASSERT_FALSE(seen[m.x][m.y]) << "entry " << i;
            seen[m.x][m.y] = true;
            if (i > 0) {
                const onemove& p = list[i - 1];
                ASSERT_GE(p.value, m.value) << "entry " << i;
                if (p.value == m.value) {
                    ASSERT_GT(p.x * 20 + p.y, m.x * 20 + m.y) << "entry " << i;
                }
            }
        }
    }
};

class MergeSortTest : public ::testing::Test {};
class SortMovesClosedCells : public SortMovesTest {};

}  // namespace

TEST_F(SortMovesTest, EmptyBoardListsCellsBackwards) {
    sortFor(X);
    for (int i = 0; i < CellCount; ++i) {
        ASSERT_EQ(list[i].x, (399 - i) / 20) << i;
        ASSERT_EQ(list[i].y, (399 - i) % 20) << i;
        ASSERT_EQ(list[i].value, 0) << i;
    }
    EXPECT_EQ(list[0].x, 19);
    EXPECT_EQ(list[0].y, 19);
}

// A lone stone: 3 per window, so a cell at distance d on one of its lines
// gets 3 * (5 - d) and the stone itself 3 * 20.
TEST_F(SortMovesTest, AroundOneStone) {
    for (int stone : {X, O})
        for (int side : {X, O}) {
            resetPosition();
            put(9, 9, stone);
            sortFor(side);
            expectHead({{9, 9, 60},
                        {10, 10, 12}, {10, 9, 12}, {10, 8, 12}, {9, 10, 12},
                        {9, 8, 12}, {8, 10, 12}, {8, 9, 12}, {8, 8, 12},
                        {11, 11, 9}, {11, 9, 9}, {11, 7, 9}, {9, 11, 9},
                        {9, 7, 9}, {7, 11, 9}, {7, 9, 9}, {7, 7, 9}});
            for (int x = 0; x < 20; ++x)
                for (int y = 0; y < 20; ++y) {
                    const int dx = x - 9, dy = y - 9;
                    const int d = std::max(std::abs(dx), std::abs(dy));
                    const bool onLine = dx == 0 || dy == 0 || std::abs(dx) == std::abs(dy);
                    const int want = d == 0 ? 60 : onLine && d <= 4 ? 3 * (5 - d) : 0;
                    ASSERT_EQ(valueOf(x, y), want) << x << "," << y;
                }
            expectWellFormed();
        }
}

TEST_F(SortMovesTest, CornerStoneLiesInThreeWindows) {
    put(0, 0, X);
    sortFor(X);
    expectHead({{0, 0, 9},
                {4, 4, 3}, {4, 0, 3}, {3, 3, 3}, {3, 0, 3}, {2, 2, 3}, {2, 0, 3},
                {1, 1, 3}, {1, 0, 3}, {0, 4, 3}, {0, 3, 3}, {0, 2, 3}, {0, 1, 3},
                {19, 19, 0}});
}

// Side 1 on (9, 5) ... (9, 8). Free ends: 3 + 14 + 42 + four; (9, 6), (9, 7):
// 14 + 42 + 2 fours + 42 + 45; (9, 5), (9, 8): 3 + 14 + 42 + 2 fours + 45.
TEST_F(SortMovesTest, AroundAFourAttackOutweighsDefence) {
    putLine(9, 5, 0, 1, "XXXX");
    sortFor(X);
    expectHead({{9, 7, 1943}, {9, 6, 1943}, {9, 8, 1904}, {9, 5, 1904}, {9, 9, 959}, {9, 4, 959}});
    expectWellFormed();

    sortFor(O);
    expectHead({{9, 7, 1143}, {9, 6, 1143}, {9, 8, 1104}, {9, 5, 1104}, {9, 9, 559}, {9, 4, 559}});
    expectWellFormed();
}

// The larger of attack and defence counts, not their sum.
TEST_F(SortMovesTest, MixedWindowsAddNothing) {
    put(9, 9, X);
    put(9, 10, O);
    sortFor(X);
    EXPECT_EQ(valueOf(9, 9), 48);
    EXPECT_EQ(valueOf(9, 10), 48);
    EXPECT_EQ(valueOf(9, 8), 3);
    EXPECT_EQ(valueOf(9, 11), 3);
    EXPECT_EQ(valueOf(8, 9), 12);  // 12 attack along the row, 12 defence on the diagonal
    EXPECT_EQ(valueOf(9, 12), 3);  // the only live column window holds the O alone
    expectHead({{9, 10, 48}, {9, 9, 48}});
}

// The five's own window adds nothing to (0, 0); its row and diagonal hold
// the corner stone alone.
TEST_F(SortMovesTest, FiveAddsNothing) {
    putLine(0, 0, 0, 1, "XXXXX");
    sortFor(X);
    EXPECT_EQ(valueOf(0, 0), 6);
    EXPECT_EQ(valueOf(0, 4), 900 + 42 + 14 + 3 + 3 * 3);
    sortFor(O);
    EXPECT_EQ(valueOf(0, 0), 6);
    EXPECT_EQ(valueOf(0, 4), 500 + 42 + 14 + 3 + 3 * 3);
}

TEST_F(SortMovesTest, ListIsCompleteOnACrowdedBoard) {
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        resetPosition();
        for (int n = 0; n < 120; ++n) {
            const int x = static_cast<int>(rng() % 20), y = static_cast<int>(rng() % 20);
            if (board[x][y] == 0) put(x, y, rng() % 2 ? X : O);
        }
        sortFor(round % 2 ? X : O);
        expectWellFormed();
        for (const onemove& m : list) ASSERT_LE(m.value, 18000);
    }
}

TEST(MergeSortTest, EqualValuesComeOutReversed) {
    onemove list[12];
    for (int i = 0; i < 12; ++i) list[i] = {i, 100 + i, 7};
    mergeSort(list, 0, 9);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(list[i].x, 9 - i) << i;
    EXPECT_EQ(list[10].x, 10);
    EXPECT_EQ(list[11].x, 11);
}

TEST(MergeSortTest, SortsARangeHighestFirst) {
    onemove list[9];
    const int values[9] = {5, 1, 3, 3, 2, 1, 8, 0, 4};
    for (int i = 0; i < 9; ++i) list[i] = {i, 0, values[i]};
    mergeSort(list, 1, 7);
    const int order[9] = {0, 6, 3, 2, 4, 5, 1, 7, 8};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(list[i].x, order[i]) << i;
}

TEST(MergeSortTest, EmptyOrSingleRangeDoesNothing) {
    onemove list[4] = {{0, 0, 1}, {1, 0, 4}, {2, 0, 2}, {3, 0, 9}};
    mergeSort(list, 2, 2);
    mergeSort(list, 3, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list[i].x, i);
}

TEST(MergeSortTest, MergeTakesTheRightRunFirstOnTies) {
    onemove list[6] = {{0, 0, 99}, {1, 0, 5}, {2, 0, 3}, {3, 0, 5}, {4, 0, 3}, {5, 0, -1}};
    merge(list, 1, 2, 4);
    const int order[6] = {0, 3, 1, 4, 2, 5};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(list[i].x, order[i]) << i;
}

// (14, 14) is the announced corner of a 15 x 15 game: three windows, like
// (0, 0), and the cells past the edge get nothing.
TEST_F(SortMovesClosedCells, AnnouncedCornerLikeTheRealOne) {
    openPlayingArea(15, 15);
    init();
    put(14, 14, X);
    sortFor(X);
    expectHead({{14, 14, 9},
                {14, 13, 3}, {14, 12, 3}, {14, 11, 3}, {14, 10, 3}, {13, 14, 3}, {13, 13, 3},
                {12, 14, 3}, {12, 12, 3}, {11, 14, 3}, {11, 11, 3}, {10, 14, 3}, {10, 10, 3},
                {19, 19, 0}});
}

// A four standing on the announced edge: its free end gets the four alone,
// as a four ending in the real corner does.
TEST_F(SortMovesClosedCells, FourAgainstTheAnnouncedEdge) {
    putLine(0, 1, 0, 1, "XXXX");
    sortFor(X);
    EXPECT_EQ(valueOf(0, 0), 900);
    EXPECT_EQ(valueOf(0, 5), 959);

    resetPosition();
    openPlayingArea(15, 15);
    init();
    putLine(14, 13, 0, -1, "XXXX");
    sortFor(X);
    EXPECT_EQ(valueOf(14, 14), 900);
    EXPECT_EQ(valueOf(14, 9), 959);
    EXPECT_EQ(valueOf(14, 15), 0);
}

TEST_F(SortMovesClosedCells, ClosedCellGetsNothing) {
    setCellClosed(10, 10, true);
    init();
    putLine(10, 6, 0, 1, "XXXX");
    put(11, 11, O);
    sortFor(X);
    EXPECT_EQ(valueOf(10, 10), 0);
    EXPECT_EQ(valueOf(10, 5), 3 + 14 + 42 + 900);
    expectWellFormed();
}

// Random patterns in the announced corner of a 15 x 15 game and in the real
// corner (19, 19) give the same values cell for cell; so do patterns against
// closed low rows and columns and against the real corner (0, 0).
TEST_F(SortMovesClosedCells, PatternsScoreAsAtTheRealEdge) {
    std::mt19937 rng(4321);
    int far[BoardSize][BoardSize], near[BoardSize][BoardSize];
    for (int round = 0; round < 200; ++round) {
        const auto pattern = randomPattern(rng, 7, 15 + round % 40);
        const int side = round % 2 ? X : O;

        resetPosition();
        for (const Stone& s : pattern) put(19 - s.x, 19 - s.y, s.side);
        sortFor(side);
        for (const onemove& m : list) far[m.x][m.y] = m.value;

        resetPosition();
        openPlayingArea(15, 15);
        init();
        for (const Stone& s : pattern) put(14 - s.x, 14 - s.y, s.side);
        sortFor(side);
        for (const onemove& m : list) {
            const int want = m.x < 15 && m.y < 15 ? far[m.x + 5][m.y + 5] : 0;
            ASSERT_EQ(m.value, want) << "round " << round << " cell " << m.x << "," << m.y;
        }

        resetPosition();
        for (const Stone& s : pattern) put(s.x, s.y, s.side);
        sortFor(side);
        for (const onemove& m : list) near[m.x][m.y] = m.value;

        resetPosition();
        closeLowEdges(5);
        init();
        for (const Stone& s : pattern) put(s.x + 5, s.y + 5, s.side);
        sortFor(side);
        for (const onemove& m : list) {
            const int want = m.x >= 5 && m.y >= 5 ? near[m.x - 5][m.y - 5] : 0;
            ASSERT_EQ(m.value, want) << "round " << round << " cell " << m.x << "," << m.y;
        }
    }
}
