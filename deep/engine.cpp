#include "deep/engine.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "deep/pool.h"

namespace deep {

const ShapeTable& shapeTableFor(Rule rule) {
    static ShapeTable tables[4];
    static std::atomic<bool> built[4];
    static std::mutex building;
    const int r = static_cast<int>(rule);
    if (!built[r].load(std::memory_order_acquire)) {
        // A turn may come while another thread builds the same tables: it waits.
        std::lock_guard<std::mutex> lock(building);
        if (!built[r].load(std::memory_order_relaxed)) {
            tables[r].prepare(rule);
            built[r].store(true, std::memory_order_release);
        }
    }
    return tables[r];
}

Engine::Engine()
    : pos_(std::make_unique<Position>()),
      history_(std::make_unique<History>()),
      search_(std::make_unique<Search>(*pos_, table_, *history_, threats_, FittedWeights[0])),
      played_(search_.get()) {
    history_->clear();
}

Engine::~Engine() = default;

void Engine::newGame() {
    table_.clear();
    history_->clear();
    threats_.clearCache();
    if (pool_) {
        pool_->clearHistories();
        pool_->clearThreatCaches();
    }
    lastStones_ = -1;
}

void Engine::setThreads(int count) {
    count = std::clamp(count, 1, MaxThreads);
    if (count == threads()) return;
    if (!pool_) pool_ = std::make_unique<HelperPool>(table_);
    pool_->resize(count - 1);
    // The helpers' searches go with them.
    played_ = search_.get();
    helperNodes_ = 0;
}

int Engine::threads() const { return 1 + (pool_ ? pool_->size() : 0); }

void setUpPosition(Position& pos, const TurnPosition& turn) { setUpPosition(pos, turn, cellWeightsFor(turn.rule)); }

void setUpPosition(Position& pos, const TurnPosition& turn, const CellWeights& weights) {
    pos.reset(shapeTableFor(turn.rule), weights, turn.width, turn.height);
    for (int x = 0; x < turn.width; ++x)
        for (int y = 0; y < turn.height; ++y)
            if (turn.cell[x][y] == 3) pos.block(x, y);
    const int opponentSide = turn.ownSide ^ 1;
    for (int x = 0; x < turn.width; ++x)
        for (int y = 0; y < turn.height; ++y) {
            if (turn.cell[x][y] == 1) pos.setStone(x, y, turn.ownSide);
            if (turn.cell[x][y] == 2) pos.setStone(x, y, opponentSide);
        }
    pos.setSideToMove(turn.ownSide);
}

Engine::Move Engine::think(const TurnPosition& turn, const SearchLimits& limits, Search::Report report, void* context) {
    int stones = 0;
    for (int x = 0; x < turn.width; ++x)
        for (int y = 0; y < turn.height; ++y) stones += turn.cell[x][y] == 1 || turn.cell[x][y] == 2;
    // A new rule or board makes every stored value wrong; a new game only
    // makes the history stale.
    if (turn.rule != rule_ || turn.width != width_ || turn.height != height_) {
        rule_ = turn.rule;
        width_ = turn.width;
        height_ = turn.height;
        newGame();
    } else if (stones < lastStones_) {
        history_->clear();
        if (pool_) pool_->clearHistories();
    } else {
        history_->age();
        if (pool_) pool_->ageHistories();
    }
    lastStones_ = stones;
    table_.newSearch();

    const CellWeights& cells = custom_ ? customWeights_.cells : cellWeightsFor(turn.rule);
    setUpPosition(*pos_, turn, cells);
    const RuleWeights& weights = custom_ ? customWeights_ : FittedWeights[static_cast<int>(turn.rule)];
    search_ = std::make_unique<Search>(*pos_, table_, *history_, threats_, weights);
    search_->knobs = knobs_;
    played_ = search_.get();
    helperNodes_ = 0;
    // A turn of one iteration of depth 1 is over before helpers would be.
    const bool helped = pool_ && pool_->size() > 0 && limits.maxDepth > 1;
    SearchLimits mainLimits = limits;
    if (helped) {
        // One start for every searcher's clock.
        if (mainLimits.startMs < 0 && mainLimits.clock) mainLimits.startMs = mainLimits.clock();
        pool_->sharedNodes().store(0, std::memory_order_relaxed);
        mainLimits.sharedNodes = &pool_->sharedNodes();
        pool_->start(turn, cells, weights, knobs_, mainLimits);
    }
    int slot = search_->think(mainLimits, report, context);
    if (helped) {
        pool_->stop();
        // Ranked moves were shown from the main search: its first plays.
        const bool mainPlays = limits.multiPv > 1;
        // The deepest finished iteration plays, the main search's on a tie;
        // but a proven win (the main search's threat searches find theirs
        // before any iteration) gives way only to another.
        for (int i = 0; i < pool_->size(); ++i) {
            const HelperPool::Result r = pool_->result(i);
            helperNodes_ += r.nodes;
            const bool keepWin = played_->rootValueKnown() && played_->rootValue() >= ProvenScore &&
                                 r.search && r.search->rootValue() < ProvenScore;
            if (!mainPlays && r.move >= 0 && r.completedDepth > played_->completedDepth() && !keepWin) {
                played_ = r.search;
                slot = r.move;
            }
        }
    }
    Move move;
    if (slot >= 0) {
        move.x = xOf(slot);
        move.y = yOf(slot);
    }
    return move;
}

}  // namespace deep
