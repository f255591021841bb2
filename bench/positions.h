// The benchmark's fixed suite of positions. Each position is the text of a
// BOARD list as a manager sends it: "x,y,who" lines in play order (who 1 is
// Morrow, 2 the opponent), without the closing "DONE". Morrow is to move in
// every one of them.
#pragma once

#include <string>

struct BenchPosition {
    const char* name;
    const char* board;
};

// The suite, always the same positions in the same order.
const BenchPosition* benchPositions();
int benchPositionCount();

// Empty string when `text` is a position the suite may hold: well-formed
// lines, cells on the 20 x 20 board and each taken once, the sides taking
// turns with Morrow next (opponent count equal to Morrow's or one more), and
// no five on the board. Otherwise the first fault found.
std::string checkBenchPosition(const char* text);

// Empties the engine board, opens all 20 x 20 cells, rebuilds the line
// tables and writes every stone of `text` to `board` (1 or -400). The `Win`
// counts stay empty: run() replays the stones itself. False on a malformed
// text, with the board then left empty.
bool loadBenchPosition(const char* text);
