#include <atomic>
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
    endStandInTurn();
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

namespace {
std::atomic<bool> preparationCancelled{false};
// Never destroyed, like the worker's events: the thread may still signal it
// as the process ends.
ManualResetEvent& preparationIdle = *new ManualResetEvent(true);
}  // namespace

void start_table_preparation() {
    stop_table_preparation();
    const bool deep = deep_turns_wanted();
    if (!deep) allocateWantedHashTables();
    preparationCancelled.store(false, std::memory_order_relaxed);
    preparationIdle.reset();
    std::thread([deep] {
        if (deep) populateDeepTables(preparationCancelled);
        else populateHashTables(preparationCancelled);
        preparationIdle.signal();
    }).detach();
}

void stop_table_preparation() {
    preparationCancelled.store(true, std::memory_order_relaxed);
    preparationIdle.wait();
}
