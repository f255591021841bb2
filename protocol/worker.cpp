#include <thread>

#include "../brain/brain.h"
#include "../engine/engine.h"
#include "protocol.h"

void report_iteration(const IterationStats& iteration, long long turnNodes, long long turnMs) {
    pipeOut("MESSAGE depth %d value %d nodes %lld time %lld ms best %d,%d%s", iteration.depth, iteration.value,
            turnNodes, turnMs, iteration.best.x, iteration.best.y, iteration.complete ? "" : " cut");
}

void brain_turn() {
    const cellpos move = run();
    if (isFree(move.x, move.y)) board[move.x][move.y] = MyStone;
    do_mymove(move.x, move.y);
}

void threadLoop() {
    for (;;) {
        event1.wait();
        if (workerJob == WorkerJob::PrepareTables)
            prepareHashTables(&TablePreparationCancelled);
        else
            brain_turn();
        event2.signal();
    }
}

// The worker lives as long as the process and is never joined.
void startWorker() { std::thread(threadLoop).detach(); }
