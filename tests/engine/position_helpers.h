// Setting up engine positions in tests: an empty open 20 x 20 board, stones
// placed through MakeMove so that Win stays in step with board.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

#include "engine/engine.h"

namespace morrow_test {

constexpr int X = MyStone;
constexpr int O = OpponentStone;

using BoardCopy = std::array<std::array<int, BoardSize>, BoardSize>;

inline BoardCopy snapshot() {
    BoardCopy copy;
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) copy[x][y] = board[x][y];
    return copy;
}

// Empty board, every cell open, counts zeroed, key zero. Tests that close
// cells rely on this to hand the next test a plain 20 x 20 board again.
inline void resetPosition() {
    std::memset(board, 0, sizeof board);
    std::memset(randomkey, 0, sizeof randomkey);
    openPlayingArea(BoardSize, BoardSize);
    init();
    nowhash = 0;
}

struct Stone {
    int x, y, side;
};

inline void put(int x, int y, int side) { MakeMove(x, y, side); }

inline void putAll(std::initializer_list<Stone> stones) {
    for (const Stone& s : stones) MakeMove(s.x, s.y, s.side);
}

// Places a run of cells starting at (x, y) along (dx, dy): 'X' a stone of
// side 1, 'O' one of side -400, anything else leaves the cell as it is.
inline void putLine(int x, int y, int dx, int dy, const char* cells) {
    for (; *cells; ++cells, x += dx, y += dy) {
        if (*cells == 'X') MakeMove(x, y, X);
        if (*cells == 'O') MakeMove(x, y, O);
    }
}

// Stones of both sides scattered over a size x size box at (0, 0), about
// `percent` of its cells filled; the caller moves them where it wants them.
inline std::vector<Stone> randomPattern(std::mt19937& rng, int size, int percent) {
    std::vector<Stone> stones;
    for (int a = 0; a < size; ++a)
        for (int b = 0; b < size; ++b)
            if (static_cast<int>(rng() % 100) < percent) stones.push_back({a, b, rng() % 2 ? X : O});
    return stones;
}

// Closes rows and columns 0 ... n-1, so that the open part starts at (n, n)
// the way the real grid starts at (0, 0).
inline void closeLowEdges(int n) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < BoardSize; ++j) {
            setCellClosed(i, j, true);
            setCellClosed(j, i, true);
        }
}

// Every test starts and ends on the empty open board.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { resetPosition(); }
    void TearDown() override { resetPosition(); }
};

}  // namespace morrow_test
