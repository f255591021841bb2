#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/engine.h"
#include "position_helpers.h"

using namespace morrow_test;

namespace {

class LineTables : public EngineTest {};
class MoveCounts : public EngineTest {};
class GameOver : public EngineTest {};

void expectCells(const cellpos* cells, std::initializer_list<cellpos> expected) {
    int i = 0;
    for (const cellpos& c : expected) {
        EXPECT_EQ(cells[i].x, c.x) << "cell " << i;
        EXPECT_EQ(cells[i].y, c.y) << "cell " << i;
        ++i;
    }
}

// Win as it must be: per window, the stones of each side found on board.
void expectWinMatchesBoard() {
    for (int w = 0; w < FiveWindowCount; ++w) {
        int mine = 0, theirs = 0;
        for (const cellpos& c : Win2Point[w]) {
            mine += board[c.x][c.y] == X;
            theirs += board[c.x][c.y] == O;
        }
        ASSERT_EQ(Win[0][w], mine) << "window " << w;
        ASSERT_EQ(Win[1][w], theirs) << "window " << w;
    }
}

}  // namespace

TEST_F(LineTables, FiveCellWindowExamples) {
    expectCells(Win2Point[0], {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}});
    expectCells(Win2Point[319], {{19, 15}, {19, 16}, {19, 17}, {19, 18}, {19, 19}});
    expectCells(Win2Point[320], {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}});
    expectCells(Win2Point[640], {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
    expectCells(Win2Point[896], {{0, 4}, {1, 3}, {2, 2}, {3, 1}, {4, 0}});
    expectCells(Win2Point[1151], {{15, 19}, {16, 18}, {17, 17}, {18, 16}, {19, 15}});
}

TEST_F(LineTables, SixCellWindowExamples) {
    expectCells(Six2Point[0], {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}});
    expectCells(Six2Point[825], {{0, 5}, {1, 4}, {2, 3}, {3, 2}, {4, 1}, {5, 0}});
    expectCells(Six2Point[1049], {{14, 19}, {15, 18}, {16, 17}, {17, 16}, {18, 15}, {19, 14}});
}

// Every window, numbered family by family with the start cell x-major.
TEST_F(LineTables, EveryWindowFollowsTheNumbering) {
    struct Family {
        int first, dx, dy, xCount, yFrom, yTo, perColumn;
    };
    const Family five[4] = {{0, 0, 1, 20, 0, 15, 16},
                            {320, 1, 0, 16, 0, 19, 20},
                            {640, 1, 1, 16, 0, 15, 16},
                            {896, 1, -1, 16, 4, 19, 16}};
    for (const Family& f : five)
        for (int x0 = 0; x0 < f.xCount; ++x0)
            for (int y0 = f.yFrom; y0 <= f.yTo; ++y0) {
                const int w = f.first + f.perColumn * x0 + (y0 - f.yFrom);
                for (int l = 0; l < 5; ++l) {
                    ASSERT_EQ(Win2Point[w][l].x, x0 + l * f.dx) << "window " << w << " cell " << l;
                    ASSERT_EQ(Win2Point[w][l].y, y0 + l * f.dy) << "window " << w << " cell " << l;
                }
            }

    const Family six[4] = {{0, 0, 1, 20, 0, 14, 15},
                           {300, 1, 0, 15, 0, 19, 20},
                           {600, 1, 1, 15, 0, 14, 15},
                           {825, 1, -1, 15, 5, 19, 15}};
    for (const Family& f : six)
        for (int x0 = 0; x0 < f.xCount; ++x0)
            for (int y0 = f.yFrom; y0 <= f.yTo; ++y0) {
                const int s = f.first + f.perColumn * x0 + (y0 - f.yFrom);
                for (int m = 0; m < 6; ++m) {
                    ASSERT_EQ(Six2Point[s][m].x, x0 + m * f.dx) << "six window " << s << " cell " << m;
                    ASSERT_EQ(Six2Point[s][m].y, y0 + m * f.dy) << "six window " << s << " cell " << m;
                }
            }
}

TEST_F(LineTables, WindowListsOfSingleCells) {
    const int corner[3] = {0, 320, 640};
    for (int slot = 0; slot < 20; ++slot) EXPECT_EQ(Point2Win[0][0][slot], slot < 3 ? corner[slot] : -1);

    const int topRight[3] = {15, 339, 911};
    for (int slot = 0; slot < 20; ++slot) EXPECT_EQ(Point2Win[0][19][slot], slot < 3 ? topRight[slot] : -1);

    const int bottomLeft[3] = {304, 620, 1136};
    for (int slot = 0; slot < 20; ++slot) EXPECT_EQ(Point2Win[19][0][slot], slot < 3 ? bottomLeft[slot] : -1);

    const int centre[20] = {166, 167, 168, 169, 170, 450, 470, 490, 510, 530,
                            742, 759, 776, 793, 810, 1002, 1017, 1032, 1047, 1062};
    for (int slot = 0; slot < 20; ++slot) EXPECT_EQ(Point2Win[10][10][slot], centre[slot]);
}

TEST_F(LineTables, WindowCountsPerCell) {
    const int column0[20] = {3, 4, 5, 6, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 6, 5, 4, 3};
    for (int y = 0; y < 20; ++y) EXPECT_EQ(PointCount[0][y], column0[y]) << "y " << y;
    EXPECT_EQ(PointCount[0][0], 3);
    EXPECT_EQ(PointCount[19][0], 3);
    EXPECT_EQ(PointCount[0][19], 3);
    EXPECT_EQ(PointCount[19][19], 3);

    int total = 0, full = 0;
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y) {
            total += PointCount[x][y];
            const bool central = x >= 4 && x <= 15 && y >= 4 && y <= 15;
            EXPECT_EQ(PointCount[x][y] == 20, central) << x << "," << y;
            full += PointCount[x][y] == 20;
        }
    EXPECT_EQ(total, 5760);
    EXPECT_EQ(full, 144);
}

// The reverse index lists exactly the windows holding the cell, ascending.
TEST_F(LineTables, ReverseIndexAgreesWithTheWindows) {
    std::vector<int> expected[BoardSize][BoardSize];
    for (int w = 0; w < FiveWindowCount; ++w)
        for (const cellpos& c : Win2Point[w]) expected[c.x][c.y].push_back(w);
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y) {
            const auto& list = expected[x][y];
            ASSERT_EQ(PointCount[x][y], static_cast<int>(list.size())) << x << "," << y;
            for (int slot = 0; slot < 20; ++slot) {
                const int want = slot < static_cast<int>(list.size()) ? list[slot] : -1;
                ASSERT_EQ(Point2Win[x][y][slot], want) << x << "," << y << " slot " << slot;
            }
        }
}

// Closing cells only marks windows dead; the constant tables stay as they are.
TEST_F(LineTables, ClosedCellsLeaveTheTablesAlone) {
    openPlayingArea(15, 15);
    setCellClosed(3, 3, true);
    init();
    EXPECT_EQ(PointCount[19][19], 3);
    EXPECT_EQ(PointCount[10][10], 20);
    expectCells(Win2Point[1151], {{15, 19}, {16, 18}, {17, 17}, {18, 16}, {19, 15}});
    expectCells(Six2Point[1049], {{14, 19}, {15, 18}, {16, 17}, {17, 16}, {18, 15}, {19, 14}});
    EXPECT_EQ(Point2Win[3][3][0], 48);
}

TEST_F(MoveCounts, InitZeroesCountsAndLeavesTheBoard) {
    putLine(5, 3, 0, 1, "XXXXX");
    putLine(8, 8, 1, 1, "OOOO");
    const BoardCopy before = snapshot();
    ASSERT_TRUE(check_over());

    init();

    EXPECT_EQ(snapshot(), before);
    for (int k = 0; k < 2; ++k)
        for (int w = 0; w < FiveWindowCount; ++w) ASSERT_EQ(Win[k][w], 0) << k << " " << w;
    EXPECT_FALSE(check_over());

    // Replaying the stones brings the five back.
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y)
            if (board[x][y] != 0) MakeMove(x, y, board[x][y]);
    EXPECT_TRUE(check_over());
    expectWinMatchesBoard();
}

TEST_F(MoveCounts, OneStoneTouchesExactlyItsWindows) {
    randomkey[10][10][0] = 0x0123456789ABCDEFull;
    randomkey[10][10][1] = 0xFEDCBA9876543210ull;
    MakeMove(10, 10, X);
    EXPECT_EQ(board[10][10], X);
    EXPECT_EQ(nowhash, 0x0123456789ABCDEFull);

    const int centre[20] = {166, 167, 168, 169, 170, 450, 470, 490, 510, 530,
                            742, 759, 776, 793, 810, 1002, 1017, 1032, 1047, 1062};
    int touched = 0;
    for (int w = 0; w < FiveWindowCount; ++w) {
        const bool listed = std::find(std::begin(centre), std::end(centre), w) != std::end(centre);
        EXPECT_EQ(Win[0][w], listed ? 1 : 0) << w;
        EXPECT_EQ(Win[1][w], 0) << w;
        touched += Win[0][w];
    }
    EXPECT_EQ(touched, 20);

    unMakeMove(10, 10, X);
    EXPECT_EQ(board[10][10], 0);
    EXPECT_EQ(nowhash, 0u);
    for (int k = 0; k < 2; ++k)
        for (int w = 0; w < FiveWindowCount; ++w) ASSERT_EQ(Win[k][w], 0);

    // The opponent's stone is counted and keyed in the second half.
    MakeMove(10, 10, O);
    EXPECT_EQ(board[10][10], O);
    EXPECT_EQ(nowhash, 0xFEDCBA9876543210ull);
    EXPECT_EQ(Win[1][166], 1);
    EXPECT_EQ(Win[0][166], 0);
}

// Win and the key follow any sequence of moves and take-backs, in any order.
TEST_F(MoveCounts, RandomMakeAndUnmakeKeepCountsAndKeyInStep) {
    std::mt19937_64 keys(20240611);
    for (auto& column : randomkey)
        for (auto& cell : column)
            for (auto& key : cell) key = keys();

    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        const std::uint64_t start = nowhash;
        std::vector<Stone> placed;
        for (int step = 0; step < 300; ++step) {
            const bool take = !placed.empty() && (placed.size() > 120 || rng() % 3 == 0);
            if (take) {
                const std::size_t i = rng() % placed.size();
                const Stone s = placed[i];
                placed.erase(placed.begin() + static_cast<std::ptrdiff_t>(i));
                unMakeMove(s.x, s.y, s.side);
            } else {
                int x, y;
                do {
                    x = static_cast<int>(rng() % 20);
                    y = static_cast<int>(rng() % 20);
                } while (board[x][y] != 0);
                const int side = rng() % 2 ? X : O;
                MakeMove(x, y, side);
                placed.push_back({x, y, side});
            }
            if (step % 25 == 0) {
                expectWinMatchesBoard();
                bool five = false;
                for (int w = 0; w < FiveWindowCount; ++w) five = five || Win[0][w] == 5 || Win[1][w] == 5;
                ASSERT_EQ(check_over(), five);
                std::uint64_t key = 0;
                for (const Stone& s : placed) key ^= randomkey[s.x][s.y][s.side == X ? 0 : 1];
                ASSERT_EQ(nowhash, start ^ key);
            }
        }
        expectWinMatchesBoard();
        while (!placed.empty()) {
            unMakeMove(placed.back().x, placed.back().y, placed.back().side);
            placed.pop_back();
        }
        ASSERT_EQ(nowhash, start);
        expectWinMatchesBoard();
        for (auto& column : board)
            for (int cell : column) ASSERT_EQ(cell, 0);
    }
}

TEST_F(GameOver, FiveInEachDirection) {
    // (0, +1)
    putLine(7, 3, 0, 1, "XXXX");
    EXPECT_FALSE(check_over());
    put(7, 7, X);
    EXPECT_EQ(Win[0][115], 5);
    EXPECT_TRUE(check_over());
    resetPosition();

    // (+1, 0)
    putLine(3, 5, 1, 0, "OOOOO");
    EXPECT_EQ(Win[1][385], 5);
    EXPECT_TRUE(check_over());
    resetPosition();

    // (+1, +1)
    putLine(2, 2, 1, 1, "OOOOO");
    EXPECT_EQ(Win[1][674], 5);
    EXPECT_TRUE(check_over());
    resetPosition();

    // (+1, -1), the window ending on the corner row
    putLine(0, 4, 1, -1, "XXXXX");
    EXPECT_EQ(Win[0][896], 5);
    EXPECT_TRUE(check_over());
}

TEST_F(GameOver, TakingBackAStoneOfTheFiveEndsIt) {
    putLine(3, 3, 1, 0, "XXXXX");
    ASSERT_TRUE(check_over());
    unMakeMove(5, 3, X);
    EXPECT_FALSE(check_over());
    MakeMove(5, 3, X);
    EXPECT_TRUE(check_over());

    putLine(3, 4, 1, 0, "XXXXX");  // two fives, then one
    unMakeMove(5, 3, X);
    EXPECT_TRUE(check_over());
    unMakeMove(7, 4, X);
    EXPECT_FALSE(check_over());
}

TEST_F(GameOver, OverlineIsAlsoOver) {
    putLine(10, 3, 0, 1, "XXXXXX");
    EXPECT_EQ(Win[0][163], 5);
    EXPECT_EQ(Win[0][164], 5);
    int fives = 0;
    for (int w = 0; w < FiveWindowCount; ++w) fives += Win[0][w] == 5;
    EXPECT_EQ(fives, 2);
    EXPECT_TRUE(check_over());
}

TEST_F(GameOver, MixedWindowIsNotAFive) {
    putLine(10, 3, 0, 1, "XXXXO");
    EXPECT_EQ(Win[0][163], 4);
    EXPECT_EQ(Win[1][163], 1);
    EXPECT_FALSE(check_over());

    // Five cells in a line but split between the sides.
    resetPosition();
    putLine(4, 12, 1, 0, "XXOXX");
    EXPECT_FALSE(check_over());
}
