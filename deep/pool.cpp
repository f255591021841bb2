#include "deep/pool.h"

#include "deep/engine.h"

namespace deep {

HelperPool::~HelperPool() { joinThreads(); }

void HelperPool::joinThreads() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    quit_ = false;
}

void HelperPool::resize(int count) {
    if (count < 0) count = 0;
    if (count == size()) return;
    joinThreads();
    helpers_.resize(static_cast<std::size_t>(count));
    for (auto& h : helpers_) {
        if (h) continue;
        h = std::make_unique<Helper>();
        h->history.clear();
    }
}

void HelperPool::clearHistories() {
    for (auto& h : helpers_) h->history.clear();
}

void HelperPool::ageHistories() {
    for (auto& h : helpers_) h->history.age();
}

void HelperPool::clearThreatCaches() {
    for (auto& h : helpers_) h->threats.clearCache();
}

void HelperPool::start(const TurnPosition& turn, const CellWeights& cells, const RuleWeights& weights,
                       const Search::Knobs& knobs, const SearchLimits& limits) {
    // Lazily: a pool that never plays a turn costs no threads.
    while (threads_.size() < helpers_.size()) {
        const int index = static_cast<int>(threads_.size());
        // Only this thread writes the count; the new one waits for the turn below.
        threads_.emplace_back([this, index, seen = turnNumber_] { run(index, seen); });
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        turn_ = &turn;
        cells_ = &cells;
        weights_ = &weights;
        knobs_ = knobs;
        limits_ = limits;
        stop_.flag.store(false, std::memory_order_relaxed);
        finished_ = 0;
        ++turnNumber_;
    }
    wake_.notify_all();
}

void HelperPool::stop() {
    stop_.flag.store(true, std::memory_order_relaxed);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return finished_ == size(); });
}

HelperPool::Result HelperPool::result(int helper) const {
    const Helper& h = *helpers_[static_cast<std::size_t>(helper)];
    Result r;
    if (!h.search) return r;
    r.move = h.move;
    r.completedDepth = h.search->completedDepth();
    r.nodes = h.nodes;
    r.search = &*h.search;
    return r;
}

void HelperPool::run(int index, std::uint64_t seen) {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || turnNumber_ != seen; });
            if (quit_) return;
            seen = turnNumber_;
        }
        search(index);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++finished_;
        }
        done_.notify_all();
    }
}

void HelperPool::search(int index) {
    Helper& h = *helpers_[static_cast<std::size_t>(index)];
    h.search.reset();
    h.move = -1;
    h.nodes = 0;
    // Stopped before it began: a turn answered at once, or by a win by threats.
    if (stop_.flag.load(std::memory_order_relaxed)) return;
    setUpPosition(h.pos, *turn_, *cells_);
    h.search.emplace(h.pos, table_, h.history, h.threats, *weights_);
    h.search->knobs = knobs_;
    SearchLimits limits = limits_;
    limits.stop = &stop_.flag;
    // The main search times the turn; a helper searches until stopped.
    limits.softMs = -1;
    limits.rootThreats = false;
    // What an analysis board sees comes from the main search alone.
    limits.live = false;
    limits.multiPv = 1;
    // Every other helper one ply ahead: fewer searchers on the same tree.
    limits.depthSkew = index % 2 == 0 ? 1 : 0;
    h.move = h.search->think(limits);
    h.nodes = h.search->nodes();
}

}  // namespace deep
