#include <atomic>
#include <cstdio>
#include <thread>

#include "../brain/brain.h"
#include "../engine/engine.h"
#include "protocol.h"

void report_iteration(const IterationStats& iteration, long long turnNodes, long long turnMs) {
    pipeOut("MESSAGE depth %d value %d nodes %lld time %lld ms best %d,%d%s", iteration.depth, iteration.value,
            turnNodes, turnMs, iteration.best.x, iteration.best.y, iteration.complete ? "" : " cut");
}

void report_live(const LiveReport& r) {
    switch (r.kind) {
    case LiveKind::NewIteration: pipeOut("MESSAGE REALTIME REFRESH"); break;
    case LiveKind::Searching: pipeOut("MESSAGE REALTIME POS %d,%d", r.cell.x, r.cell.y); break;
    case LiveKind::Searched: pipeOut("MESSAGE REALTIME DONE %d,%d", r.cell.x, r.cell.y); break;
    case LiveKind::Lost: pipeOut("MESSAGE REALTIME LOST %d,%d", r.cell.x, r.cell.y); break;
    case LiveKind::Best: pipeOut("MESSAGE REALTIME BEST %d,%d", r.cell.x, r.cell.y); break;
    case LiveKind::Ranked: {
        char line[64 + 8 * MaxLiveLine];
        int length = std::snprintf(line, sizeof line, "MESSAGE (%d) %d,%d value %d depth %d pv", r.rank, r.cell.x,
                                   r.cell.y, r.value, r.depth);
        for (int i = 0; i < r.lineLength; ++i)
            length += std::snprintf(line + length, sizeof line - length, " %d,%d", r.line[i].x, r.line[i].y);
        pipeOut("%s", line);
        break;
    }
    }
}

void brain_turn() {
    const cellpos move = run();
    endStandInTurn();
    if (isFree(move.x, move.y)) board[move.x][move.y] = MyStone;
    do_mymove(move.x, move.y);
}

bool swap2Asked = false;
Swap2Stones swap2Stones;

void brain_swap2() {
    const Swap2Decision decision = runSwap2(swap2Stones);
    // The colours as the game would go on without another BOARD: one cell
    // laid keeps white, anything else leaves Morrow black until the opponent
    // chooses (a BOARD then tells).
    const bool black = decision.count != 1;
    int stone = 0;
    const auto place = [&](cellpos cell) {
        if ((stone++ % 2 == 0) == black) brain_my(cell.x, cell.y);
        else brain_opponents(cell.x, cell.y);
    };
    for (int i = 0; i < swap2Stones.count; ++i) place(swap2Stones.cell[i]);
    for (int i = 0; i < decision.count; ++i) place(decision.cell[i]);

    if (decision.swap) {
        pipeOut("SWAP");
        return;
    }
    char line[64];
    int length = 0;
    for (int i = 0; i < decision.count; ++i)
        length += std::snprintf(line + length, sizeof line - length, "%s%d,%d", i > 0 ? " " : "", decision.cell[i].x,
                                decision.cell[i].y);
    pipeOut("%s", line);
}

void threadLoop() {
    for (;;) {
        event1.wait();
        if (swap2Asked) {
            swap2Asked = false;
            brain_swap2();
        } else {
            brain_turn();
        }
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

namespace {
// The rule whose tables are wanted next (-1: none), and the thread that
// builds them: it lives as long as the process, like the worker.
std::atomic<int> ruleToPrepare{-1};
AutoResetEvent& ruleWanted = *new AutoResetEvent;
bool rulePreparerStarted = false;  // main thread only
}  // namespace

void prepare_rule_in_background(GameRule rule) {
    ruleToPrepare.store(static_cast<int>(rule), std::memory_order_relaxed);
    if (!rulePreparerStarted) {
        rulePreparerStarted = true;
        std::thread([] {
            for (;;) {
                ruleWanted.wait();
                const int wanted = ruleToPrepare.exchange(-1, std::memory_order_relaxed);
                if (wanted >= 0) prepareDeepRule(static_cast<GameRule>(wanted));
            }
        }).detach();
    }
    ruleWanted.signal();
}

void stop_table_preparation() {
    preparationCancelled.store(true, std::memory_order_relaxed);
    preparationIdle.wait();
}
