// The transposition table of deep mode: values with their bound, the best
// move and the static evaluation, kept from turn to turn of a game. Every
// searcher of a turn probes and stores in it at once, without locks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace deep {

enum Bound : std::uint8_t { NoBound = 0, UpperBound = 1, LowerBound = 2, ExactBound = 3 };

struct TableHit {
    int value;
    int eval;
    int move;  // a slot, or -1
    int depth;
    Bound bound;
};

class TranspositionTable {
public:
    TranspositionTable() = default;
    TranspositionTable(const TranspositionTable&) = delete;
    TranspositionTable& operator=(const TranspositionTable&) = delete;
    ~TranspositionTable() { release(); }

    // The largest table within `bytes` (a power of two of buckets); smaller
    // ones when the system refuses, none below a minimum. Keeps the entries
    // when the size stays.
    void resize(std::size_t bytes);
    // The size resize(bytes) aims at.
    static std::size_t bytesFor(std::size_t bytes);
    void release();
    // Neither clear, resize nor release while a search runs.
    void clear();
    // Brings every page of the table in, 2 MiB at a time, so that a search
    // does not wait on page faults; stops between chunks once `cancel` is
    // set. Writes nothing of the table's: safe while a search uses it.
    bool populate(const std::atomic<bool>& cancel) const;
    std::size_t bytes() const { return buckets_ ? (mask_ + 1) * sizeof(Bucket) : 0; }
    // A new turn: older entries give way first.
    void newSearch() { age_ = static_cast<std::uint8_t>((age_ + 1) & AgeMask); }

    bool probe(std::uint64_t key, TableHit& hit) const;
    void store(std::uint64_t key, int value, int eval, int move, int depth, Bound bound);
    void prefetch(std::uint64_t key) const {
        if (buckets_) __builtin_prefetch(&buckets_[key & mask_]);
    }

private:
    static constexpr std::uint8_t AgeMask = 63;
    // Two words, each read and written whole by any thread: the data, and
    // the key xor the data. An entry half written by one searcher and half
    // by another unpacks to a key that matches neither, so it is a miss,
    // never a wrong move or value.
    struct Entry {
        std::uint64_t check;  // key ^ data
        std::uint64_t data;   // value, eval, move, depth, bound and age
    };
    static_assert(sizeof(Entry) == 16, "an entry is 16 bytes");
    struct Fields {
        std::uint64_t key;
        std::int16_t value;
        std::int16_t eval;
        std::uint16_t move;
        std::int8_t depth;
        std::uint8_t boundAge;  // bound in the low two bits, age above
    };
    static Fields load(Entry& e);
    static void save(Entry& e, const Fields& f);
    static constexpr int BucketSize = 4;
    struct alignas(64) Bucket {
        Entry entry[BucketSize];
    };

    Bucket* buckets_ = nullptr;
    std::size_t mask_ = 0;
    // Written since it was allocated or cleared: fresh pages are zero already.
    std::atomic<bool> written_{false};
    std::uint8_t age_ = 0;
};

}  // namespace deep
