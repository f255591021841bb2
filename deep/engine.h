// Deep mode's engine as a whole: the position, the tables and the history
// of one game, and the turn that searches them. The turn driver hands it the
// board; nothing here reads the default engine's state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "deep/search.h"

namespace deep {

class HelperPool;

// The board a turn starts from.
struct TurnPosition {
    int width = MaxBoard, height = MaxBoard;
    Rule rule = Rule::Freestyle;
    int ownSide = 0;  // 0: the engine plays black, who moved first
    // [x][y]: 0 empty, 1 the engine's stone, 2 the opponent's, 3 blocked
    std::uint8_t cell[MaxBoard][MaxBoard] = {};
};

// The shape tables of a rule, built on first use and kept.
const ShapeTable& shapeTableFor(Rule rule);

class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The transposition table takes at most `bytes`.
    void setTableBytes(std::size_t bytes) { table_.resize(bytes); }
    void releaseTables() { table_.release(); }
    bool populateTables(const std::atomic<bool>& cancel) const { return table_.populate(cancel); }
    std::size_t tableBytes() const { return table_.bytes(); }
    // Forget every game so far: the table, and every searcher's history.
    void newGame();
    // The searchers of the next turns (1 to MaxThreads): the main search on
    // the thread that calls think, and helpers on threads of their own,
    // started with the first turn that has them. Only between turns. Each
    // helper takes about 2 MiB besides the shared table.
    static constexpr int MaxThreads = 64;
    void setThreads(int count);
    int threads() const;
    // Plays with these weights instead of the fitted ones (tuning runs).
    void useWeights(const RuleWeights& weights) {
        customWeights_ = weights;
        custom_ = true;
    }

    struct Move {
        int x = -1, y = -1;  // -1: no free cell
    };
    Move think(const TurnPosition& turn, const SearchLimits& limits, Search::Report report = nullptr,
               void* context = nullptr);

    // The search whose move the last turn played (the main search's, or a
    // helper's that finished a deeper iteration), and the main search's
    // position as left after the turn.
    const Search& search() const { return *played_; }
    // The last turn's nodes over every searcher.
    long long nodes() const { return search_->nodes() + helperNodes_; }
    Search::Knobs& knobs() { return knobs_; }
    Position& position() { return *pos_; }

private:
    std::unique_ptr<Position> pos_;
    TranspositionTable table_;
    std::unique_ptr<History> history_;
    ThreatSearch threats_;
    std::unique_ptr<Search> search_;
    std::unique_ptr<HelperPool> pool_;
    const Search* played_ = nullptr;
    long long helperNodes_ = 0;
    Search::Knobs knobs_;
    bool custom_ = false;
    RuleWeights customWeights_{};
    Rule rule_ = Rule::Freestyle;
    int width_ = 0, height_ = 0;
    int lastStones_ = -1;
};

// Sets up `pos` for the turn: walls, blocked cells and stones, the engine to move.
void setUpPosition(Position& pos, const TurnPosition& turn);
void setUpPosition(Position& pos, const TurnPosition& turn, const CellWeights& weights);

}  // namespace deep
