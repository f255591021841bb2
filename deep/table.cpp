#include "deep/table.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace deep {

namespace {
constexpr std::size_t MinBuckets = std::size_t{1} << 10;
constexpr std::uint16_t NoMove = 0xFFFF;
}  // namespace

std::size_t TranspositionTable::bytesFor(std::size_t bytes) {
    if (bytes < MinBuckets * sizeof(Bucket)) return 0;
    std::size_t wanted = MinBuckets;
    while (wanted * 2 * sizeof(Bucket) <= bytes) wanted *= 2;
    return wanted * sizeof(Bucket);
}

void TranspositionTable::resize(std::size_t bytes) {
    const std::size_t wanted = bytesFor(bytes) / sizeof(Bucket);
    if (buckets_ && wanted == mask_ + 1) return;
    release();
    for (std::size_t count = wanted; count >= MinBuckets; count /= 2) {
        // Untouched zero pages: what the search never reaches costs nothing.
        // No huge pages asked for: where the system compacts memory to make
        // them at the first touch, a turn stalled for a tenth of a second.
        void* memory = std::calloc(count, sizeof(Bucket));
        if (!memory) continue;
        buckets_ = static_cast<Bucket*>(memory);
        mask_ = count - 1;
        written_.store(false, std::memory_order_relaxed);
        return;
    }
}

bool TranspositionTable::populate(const std::atomic<bool>& cancel) const {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (!buckets_) return true;
    constexpr std::uintptr_t Page = 4096, Chunk = std::uintptr_t{2} << 20;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(buckets_) + Page - 1) & ~(Page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(buckets_) + bytes()) & ~(Page - 1);
    for (std::uintptr_t at = begin; at < end; at += Chunk) {
        if (cancel.load(std::memory_order_relaxed)) return false;
        const std::uintptr_t size = end - at < Chunk ? end - at : Chunk;
        if (madvise(reinterpret_cast<void*>(at), size, MADV_POPULATE_WRITE) != 0) return false;
    }
    return true;
#else
    (void)cancel;
    return false;
#endif
}

void TranspositionTable::release() {
    std::free(buckets_);
    buckets_ = nullptr;
    mask_ = 0;
}

void TranspositionTable::clear() {
    if (buckets_ && written_.load(std::memory_order_relaxed))
        std::memset(static_cast<void*>(buckets_), 0, (mask_ + 1) * sizeof(Bucket));
    written_.store(false, std::memory_order_relaxed);
}

// Relaxed atomic words: nothing else is ordered by them, and the xor check
// catches an entry torn between two writers.
TranspositionTable::Fields TranspositionTable::load(Entry& e) {
    const std::uint64_t data = std::atomic_ref<std::uint64_t>(e.data).load(std::memory_order_relaxed);
    const std::uint64_t check = std::atomic_ref<std::uint64_t>(e.check).load(std::memory_order_relaxed);
    Fields f;
    f.key = check ^ data;
    f.value = static_cast<std::int16_t>(data & 0xFFFF);
    f.eval = static_cast<std::int16_t>((data >> 16) & 0xFFFF);
    f.move = static_cast<std::uint16_t>((data >> 32) & 0xFFFF);
    f.depth = static_cast<std::int8_t>((data >> 48) & 0xFF);
    f.boundAge = static_cast<std::uint8_t>(data >> 56);
    return f;
}

void TranspositionTable::save(Entry& e, const Fields& f) {
    const std::uint64_t data = std::uint64_t{static_cast<std::uint16_t>(f.value)} |
                               std::uint64_t{static_cast<std::uint16_t>(f.eval)} << 16 |
                               std::uint64_t{f.move} << 32 | std::uint64_t{static_cast<std::uint8_t>(f.depth)} << 48 |
                               std::uint64_t{f.boundAge} << 56;
    std::atomic_ref<std::uint64_t>(e.data).store(data, std::memory_order_relaxed);
    std::atomic_ref<std::uint64_t>(e.check).store(f.key ^ data, std::memory_order_relaxed);
}

bool TranspositionTable::probe(std::uint64_t key, TableHit& hit) const {
    if (!buckets_) return false;
    Bucket& b = buckets_[key & mask_];
    for (Entry& entry : b.entry) {
        const Fields e = load(entry);
        if (e.key != key || (e.boundAge & 3) == NoBound) continue;
        hit.value = e.value;
        hit.eval = e.eval;
        hit.move = e.move == NoMove ? -1 : e.move;
        hit.depth = e.depth;
        hit.bound = static_cast<Bound>(e.boundAge & 3);
        return true;
    }
    return false;
}

void TranspositionTable::store(std::uint64_t key, int value, int eval, int move, int depth, Bound bound) {
    if (!buckets_) return;
    // Read first: once set, the flag's cache line is not written again.
    if (!written_.load(std::memory_order_relaxed)) written_.store(true, std::memory_order_relaxed);
    Bucket& b = buckets_[key & mask_];
    Entry* victim = nullptr;
    int victimWorth = 1 << 30;
    for (Entry& entry : b.entry) {
        const Fields e = load(entry);
        if (e.key == key) {
            // A shallower bound does not replace a deeper result of this turn.
            const bool sameTurn = (e.boundAge >> 2) == age_;
            if (bound != ExactBound && sameTurn && depth + 2 < e.depth) return;
            if (move < 0 && e.move != NoMove) move = e.move;
            victim = &entry;
            break;
        }
        const int staleness = ((age_ - (e.boundAge >> 2)) & AgeMask);
        const int worth = (e.boundAge & 3) == NoBound ? -1000 : e.depth - 8 * staleness;
        if (worth < victimWorth) {
            victimWorth = worth;
            victim = &entry;
        }
    }
    Fields f;
    f.key = key;
    f.value = static_cast<std::int16_t>(value);
    f.eval = static_cast<std::int16_t>(eval);
    f.move = move < 0 ? NoMove : static_cast<std::uint16_t>(move);
    f.depth = static_cast<std::int8_t>(depth < -100 ? -100 : depth > 120 ? 120 : depth);
    f.boundAge = static_cast<std::uint8_t>(bound | (age_ << 2));
    save(*victim, f);
}

}  // namespace deep
