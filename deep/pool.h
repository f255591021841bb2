// The helper searchers of a turn (lazy SMP): threads that search the turn's
// position alongside the main search and share its transposition table,
// and nothing else of it: each keeps a position, a history and threat
// caches of its own. They report nothing; what they store in the table
// steers the main search, and a helper that finishes a deeper iteration
// than the main search may give the turn its move.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "deep/search.h"

namespace deep {

struct TurnPosition;

class HelperPool {
public:
    explicit HelperPool(TranspositionTable& table) : table_(table) {}
    ~HelperPool();
    HelperPool(const HelperPool&) = delete;
    HelperPool& operator=(const HelperPool&) = delete;

    // `count` helpers; their threads start with the next turn and are kept
    // for the turns after it. Only between turns.
    void resize(int count);
    int size() const { return static_cast<int>(helpers_.size()); }

    // Between turns: every helper's history and threat caches.
    void clearHistories();
    void ageHistories();
    void clearThreatCaches();

    // Every helper searches the turn until stop(). `limits` are the
    // main search's, with sharedNodes set: the helpers keep its clock and
    // its node and depth limits, and take their stop flag from the pool.
    // `turn`, `cells`, `weights` and `knobs` must outlive the turn.
    void start(const TurnPosition& turn, const CellWeights& cells, const RuleWeights& weights,
               const Search::Knobs& knobs, const SearchLimits& limits);
    // Ends every helper's search and waits until each has left it.
    void stop();

    // The last turn of each helper (after stop()): its move (-1: it did not
    // search), the deepest iteration it finished, its nodes and its search.
    struct Result {
        int move = -1;
        int completedDepth = 0;
        long long nodes = 0;
        const Search* search = nullptr;
    };
    Result result(int helper) const;

    // The turn's nodes, added to by every searcher, the main one too.
    std::atomic<long long>& sharedNodes() { return nodes_.count; }

private:
    // Each helper on cache lines of its own: their searches write their
    // counters at every node.
    struct alignas(64) Helper {
        Position pos;
        History history;
        ThreatSearch threats;
        std::optional<Search> search;
        int move = -1;
        long long nodes = 0;
    };
    void run(int index, std::uint64_t seen);
    void search(int index);
    void joinThreads();

    TranspositionTable& table_;
    std::vector<std::unique_ptr<Helper>> helpers_;
    std::vector<std::thread> threads_;

    // Handed over under mutex_ at start().
    const TurnPosition* turn_ = nullptr;
    const CellWeights* cells_ = nullptr;
    const RuleWeights* weights_ = nullptr;
    Search::Knobs knobs_;
    SearchLimits limits_;

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::uint64_t turnNumber_ = 0;
    int finished_ = 0;
    bool quit_ = false;

    // Read or added to by every searcher every few hundred nodes: away from
    // each other and from what the pool writes once a turn.
    struct alignas(64) StopFlag {
        std::atomic<bool> flag{false};
    } stop_;
    struct alignas(64) NodeCount {
        std::atomic<long long> count{0};
    } nodes_;
};

}  // namespace deep
