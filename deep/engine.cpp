#include "deep/engine.h"

#include <atomic>
#include <mutex>

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
      search_(std::make_unique<Search>(*pos_, table_, *history_, threats_, FittedWeights[0])) {
    history_->clear();
}

Engine::~Engine() = default;

void Engine::newGame() {
    table_.clear();
    history_->clear();
    threats_.clearCache();
    lastStones_ = -1;
}

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
    } else {
        history_->age();
    }
    lastStones_ = stones;
    table_.newSearch();

    setUpPosition(*pos_, turn, custom_ ? customWeights_.cells : cellWeightsFor(turn.rule));
    const RuleWeights& weights = custom_ ? customWeights_ : FittedWeights[static_cast<int>(turn.rule)];
    search_ = std::make_unique<Search>(*pos_, table_, *history_, threats_, weights);
    search_->knobs = knobs_;
    const int slot = search_->think(limits, report, context);
    Move move;
    if (slot >= 0) {
        move.x = xOf(slot);
        move.y = yOf(slot);
    }
    return move;
}

}  // namespace deep
