#include "brain.h"

#include "../engine/engine.h"
#include "../protocol/protocol.h"

int myboard[MaxBoardSize][MaxBoardSize];

namespace {

bool onBoard(int x, int y) { return x >= 0 && y >= 0 && x < width && y < height; }

}  // namespace

// Every game starts on an empty board on both sides, also when a match
// runner plays game after game in one process with START alone.
void brain_clear() {
    for (auto& column : myboard)
        for (int& cell : column) cell = 0;
    for (auto& column : board)
        for (int& cell : column) cell = 0;
    openPlayingArea(width, height);
    init();
}

bool brain_init() {
    if (width <= 4 || height <= 4) {
        pipeOut("ERROR size of the board");
        return false;
    }
    if (width > MaxBoardSize || height > MaxBoardSize) {
        pipeOut("ERROR Maximal board size is %d", MaxBoardSize);
        return false;
    }
    brain_clear();
    // The tables are allocated by the first turn, once the game's INFO lines
    // have come; only tables above a lowered limit go now.
    HashBits = hash_bits_for_memory(info_max_memory);
    shrinkHashTables();
    pipeOut("OK");
    return true;
}

void brain_restart() {
    brain_clear();
    pipeOut("OK");
}

bool isFree(int x, int y) { return onBoard(x, y) && myboard[x][y] == 0; }

void brain_my(int x, int y) {
    if (isFree(x, y)) {
        myboard[x][y] = 1;
        board[x][y] = MyStone;
    } else {
        pipeOut("ERROR my move [%d,%d]", x, y);
    }
}

void brain_opponents(int x, int y) {
    if (isFree(x, y)) {
        myboard[x][y] = 2;
        board[x][y] = OpponentStone;
    } else {
        pipeOut("ERROR opponents's move [%d,%d]", x, y);
    }
}

void brain_block(int x, int y) {
    if (isFree(x, y)) {
        myboard[x][y] = 3;
        setCellClosed(x, y, true);
    } else {
        pipeOut("ERROR winning move [%d,%d]", x, y);
    }
}

int brain_takeback(int x, int y) {
    if (!onBoard(x, y) || myboard[x][y] == 0) return 2;
    board[x][y] = 0;
    myboard[x][y] = 0;
    setCellClosed(x, y, false);
    return 0;
}

void brain_end() {}

void brain_turn() {
    const cellpos move = run();
    if (isFree(move.x, move.y)) board[move.x][move.y] = MyStone;
    do_mymove(move.x, move.y);
}

namespace {

// What a turn may spend of an allowance: the allowance less a margin for
// waking the worker, setting up the turn and writing the reply.
long long lessSafetyMargin(long long allowanceMs) { return allowanceMs - (60 + allowanceMs / 16); }

constexpr long long TimeLeftShare = 10;

// What the process needs besides the two tables.
constexpr long long ProcessReserveBytes = 16ll << 20;

}  // namespace

long long manager_time_limit_ms() {
    if (info_timeout_turn <= 0) return 0;
    long long limit = lessSafetyMargin(info_timeout_turn);
    if (info_timeout_match > 0) {
        const long long share = lessSafetyMargin(info_time_left / TimeLeftShare);
        if (share < limit) limit = share;
    }
    return limit > 0 ? limit : 0;
}

int hash_bits_for_memory(long long max_memory) {
    if (max_memory <= 0) return DefaultHashBits;
    const long long budget = max_memory - ProcessReserveBytes;
    int bits = DefaultHashBits;
    while (bits >= MinHashBits && (2ll * static_cast<long long>(sizeof(hashentry)) << bits) > budget) --bits;
    return bits;
}

void brain_prepare_turn() {
    ManagerLimitMs = manager_time_limit_ms();
    HashBits = hash_bits_for_memory(info_max_memory);
}
