#include "brain.h"

#include "../engine/engine.h"
#include "../protocol/board_size.h"
#include "../protocol/output.h"

static_assert(MaxBoardSize == BoardSize, "the protocol's board is the engine's");

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
