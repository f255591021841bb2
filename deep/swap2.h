// The swap2 opening decided by the deep engine's search: the three stones
// a proposer lays, and the choice of colour after three or five stones.
// Every position of the opening has white to move, so values here are
// white's, from the engine's turns on those positions.
#pragma once

#include <atomic>

#include "deep/engine.h"

namespace deep {

struct Swap2Cell {
    int x, y;
};

struct Swap2Request {
    int width = 15, height = 15;
    Rule rule = Rule::Freestyle;
    int stoneCount = 0;        // 0, 3 or 5
    Swap2Cell stones[5] = {};  // in move order, black first
    long long nodes = 0;       // what the whole decision may search
    long long hardMs = -1;     // never longer than this; -1: no clock
    long long startMs = -1;    // when hardMs began, on `clock`; -1: at the call
    const std::atomic<bool>* stop = nullptr;
    long long (*clock)() = nullptr;  // required with hardMs
    // Mixed into the draw of candidates besides the position and the budget,
    // so that games of a match open differently (the time left, say).
    long long variation = 0;
    // When set, one line per step of the decision, for show_detail.
    void (*note)(const char* text) = nullptr;
};

struct Swap2Answer {
    bool swap = false;  // take black; no cells then
    int count = 0;      // 3 after none, 1 or 2 after three, 1 after five
    Swap2Cell cells[3] = {};
};

// Within this of even (white's value, evaluation units) three stones are
// close enough to hand the choice back with two more.
constexpr int Swap2CloseToEven = 40;

Swap2Answer decideSwap2(Engine& engine, const Swap2Request& request);

}  // namespace deep
