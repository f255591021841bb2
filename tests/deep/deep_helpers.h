// Deep-mode positions for tests: a picture of rows, X black and O white.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "deep/engine.h"

namespace deep_test {

using namespace deep;

// A position on an empty board under `rule`; the side to move is black
// when the counts are equal.
inline std::unique_ptr<Position> emptyPosition(Rule rule, int size = 15) {
    auto pos = std::make_unique<Position>();
    pos->reset(shapeTableFor(rule), cellWeightsFor(rule), size, size);
    return pos;
}

// Rows drawn from (x0, y0): 'X' black, 'O' white, '#' blocked, '*' is
// returned (a slot), anything else empty. The side to move follows the
// counts: black when they are equal.
inline int draw(Position& pos, std::initializer_list<const char*> rows, int x0 = 3, int y0 = 3) {
    int mark = -1, black = 0, white = 0;
    int y = y0;
    for (const char* row : rows) {
        for (int i = 0; row[i]; ++i) {
            const int x = x0 + i;
            if (row[i] == '#') pos.block(x, y);
        }
        ++y;
    }
    y = y0;
    for (const char* row : rows) {
        for (int i = 0; row[i]; ++i) {
            const int x = x0 + i;
            if (row[i] == 'X') pos.setStone(x, y, 0), ++black;
            if (row[i] == 'O') pos.setStone(x, y, 1), ++white;
            if (row[i] == '*') mark = slotOf(x, y);
        }
        ++y;
    }
    pos.setSideToMove(black > white ? 1 : 0);
    return mark;
}

// A turn on a 15x15 board, rows drawn from (3, 3) as by draw(); the
// engine plays side `ownSide` (0 black, X).
inline TurnPosition turnFrom(std::initializer_list<const char*> rows, int ownSide, Rule rule = Rule::Freestyle) {
    TurnPosition turn;
    turn.width = turn.height = 15;
    turn.rule = rule;
    turn.ownSide = ownSide;
    int y = 3;
    for (const char* row : rows) {
        for (int i = 0; row[i]; ++i) {
            const int side = row[i] == 'X' ? 0 : row[i] == 'O' ? 1 : -1;
            if (side >= 0) turn.cell[3 + i][y] = side == ownSide ? 1 : 2;
            if (row[i] == '#') turn.cell[3 + i][y] = 3;
        }
        ++y;
    }
    return turn;
}

inline SearchLimits nodeLimit(long long nodes) {
    SearchLimits limits;
    limits.nodes = nodes;
    return limits;
}

}  // namespace deep_test
