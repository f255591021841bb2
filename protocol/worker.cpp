#include <thread>

#include "../brain/brain.h"
#include "../engine/engine.h"
#include "protocol.h"

void brain_turn() {
    const cellpos move = run();
    if (isFree(move.x, move.y)) board[move.x][move.y] = MyStone;
    do_mymove(move.x, move.y);
}

void threadLoop() {
    for (;;) {
        event1.wait();
        brain_turn();
        event2.signal();
    }
}

// The worker lives as long as the process and is never joined.
void startWorker() { std::thread(threadLoop).detach(); }
