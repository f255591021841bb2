#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef __linux__
#include <sys/mman.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "engine.h"

hashentry* hashp[2];
std::uint64_t HashMask;
int HashBits = DefaultHashBits;
namespace {
// calloc hands out the pages of a memory mapping untouched and zero-filled:
// nothing is cleared twice when they are brought in.
void* zeroedAllocate(std::size_t count, std::size_t size) { return std::calloc(count, size); }
}  // namespace

void* (*HashAllocate)(std::size_t count, std::size_t size) = zeroedAllocate;

namespace {
// A private linear congruential generator, so that nothing else in the
// process can move its sequence and every platform draws the same keys.
std::uint32_t randomState = 1;
}  // namespace

int nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

void resetRandom() { randomState = 1; }

int (*RandomSource)() = nextRandom;

std::uint64_t rand64() {
    std::uint64_t key = 0;
    for (int i = 0; i < 5; ++i) key ^= static_cast<std::uint64_t>(RandomSource()) << (15 * i);
    return key;
}

namespace {

// The tables are kept from turn to turn and only the entries a turn wrote
// are zeroed again, which gives the next turn exactly what fresh zero-filled
// tables would, without touching 128 MiB of pages. A turn that writes more
// entries than the list holds gets its table zeroed whole.
constexpr std::size_t WrittenListSize = std::size_t{1} << 18;
std::uint32_t writtenSlots[2][WrittenListSize];
std::size_t writtenCount[2];
int allocatedBits = -1;

void forgetWrites() { writtenCount[0] = writtenCount[1] = 0; }

// The system supplies a fresh page at its first write, one fault at a time,
// which costs the search far more per page than asking for many at once. So
// once INFO max_memory has told their size, another thread brings the tables
// in whole, chunk by chunk, while the worker is free to search: it never
// waits for them, and a page the search reaches first it faults in itself.
// Huge pages are asked for on the whole tables as they are allocated: a
// search's first write into a 2 MiB region would otherwise leave that region
// in small pages for good, and random probes over small pages miss the TLB
// at nearly every lookup (later turns ran about four times slower).
constexpr std::size_t PopulateChunkBytes = std::size_t{2} << 20;

#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
constexpr bool CanPopulate = true;
#else
constexpr bool CanPopulate = false;
#endif
// Set from allocation until the tables' pages are all in (or bringing them
// in stopped); a default turn that starts meanwhile keeps its entries in
// the stand-in tables below.
std::atomic<bool> pagesComing{false};
std::atomic<bool> pagesIn{false};
// A turn searching on the stand-in tables runs at full speed only with the
// pages left alone: bringing them in competes for the memory and, on
// fragmented memory, compacts it. So the pages wait for that turn to end
// (or for the stand-in to fill).
std::atomic<bool> turnOnStandIn{false};

// A default turn writes a few thousand entries, scattered over the whole
// table: each lands on a page of its own, and fresh pages cost a fault each
// (and, for huge ones, clearing 2 MiB, maybe after compacting memory). So
// while the pages are coming, a turn keeps its entries in a small resident
// table, slot for slot what the big one would hold, and reads and writes
// exactly as it would there. When it fills, its entries move to the big
// table and the turn goes on there.
constexpr std::size_t StandInSlots = std::size_t{1} << 18;
constexpr std::size_t StandInCapacity = StandInSlots / 2;
struct StandIn {
    std::uint32_t slotPlusOne[StandInSlots];  // 0: empty
    hashentry entry[StandInSlots];
    std::size_t count;
    bool active;
};
StandIn standIn[2];

// Where the slot's entry is, or the free place it would take.
std::size_t standInIndex(const StandIn& s, std::size_t slot) {
    std::size_t i = slot & (StandInSlots - 1);
    while (s.slotPlusOne[i] != 0 && s.slotPlusOne[i] != slot + 1) i = (i + 1) & (StandInSlots - 1);
    return i;
}

// What the big table would hold at the slot: all zero if never written.
const hashentry& standInEntry(const StandIn& s, std::size_t slot) {
    static constexpr hashentry Unwritten{0, 0, 0};
    const std::size_t i = standInIndex(s, slot);
    return s.slotPlusOne[i] ? s.entry[i] : Unwritten;
}

void clearStandIn(StandIn& s) {
    if (s.count) std::memset(s.slotPlusOne, 0, sizeof s.slotPlusOne);
    s.count = 0;
    s.active = false;
}

std::size_t tableBytes() { return (HashMask + 1) * sizeof(hashentry); }

// Whole pages of `size` inside [begin, begin + bytes).
[[maybe_unused]] bool innerPages(void* begin, std::size_t bytes, std::uintptr_t size, std::uintptr_t& first,
                                 std::uintptr_t& last) {
    first = (reinterpret_cast<std::uintptr_t>(begin) + size - 1) & ~(size - 1);
    last = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(size - 1);
    return last > first;
}

void adviseHugePages([[maybe_unused]] void* table, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    std::uintptr_t first, last;
    if (innerPages(table, bytes, std::uintptr_t{2} << 20, first, last))
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

// Brings the chunk's pages in; false where the system cannot do it in one
// call (the search then faults pages in itself).
bool populateChunk([[maybe_unused]] unsigned char* begin, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    std::uintptr_t first, last;
    if (!innerPages(begin, bytes, 4096, first, last)) return true;
    return madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE) == 0;
#else
    return false;
#endif
}

// glibc raises its mapping threshold each time a mapped block is freed, so a
// table allocated again after a resize would come from the heap, where
// calloc clears (touches) every page and free keeps them. A fixed threshold
// keeps every table but the smallest in a mapping of its own.
void mapLargeBlocks() {
#ifdef __GLIBC__
    static const bool fixed = mallopt(M_MMAP_THRESHOLD, 64 << 10) != 0;
    (void)fixed;
#endif
}

// Largest pair of tables not above 2^HashBits entries that can be had;
// none at all when even the smallest cannot.
void allocateHashTables() {
    mapLargeBlocks();
    for (int bits = HashBits; bits >= MinHashBits; --bits) {
        const std::size_t entries = std::size_t{1} << bits;
        hashp[0] = static_cast<hashentry*>(HashAllocate(entries, sizeof(hashentry)));
        hashp[1] = hashp[0] ? static_cast<hashentry*>(HashAllocate(entries, sizeof(hashentry))) : nullptr;
        if (hashp[0] && hashp[1]) {
            HashMask = entries - 1;
            allocatedBits = bits;
            for (hashentry* table : hashp) adviseHugePages(table, entries * sizeof(hashentry));
            return;
        }
        releaseHashTables();
    }
}

bool haveWantedTables() { return hashp[0] && allocatedBits == HashBits; }

void recordWrite(int k, std::size_t slot) {
    if (writtenCount[k]++ < WrittenListSize) writtenSlots[k][writtenCount[k] - 1] = static_cast<std::uint32_t>(slot);
}

// The turn's entries go to the big table for good.
void moveStandInToTable(int k) {
    turnOnStandIn.store(false, std::memory_order_relaxed);
    StandIn& s = standIn[k];
    for (std::size_t i = 0; i < StandInSlots; ++i)
        if (s.slotPlusOne[i]) hashp[k][s.slotPlusOne[i] - 1] = s.entry[i];
    clearStandIn(s);
}

// False once the stand-in is full: the entry then belongs in the big table.
bool putInStandIn(int k, std::size_t slot, const hashentry& value) {
    StandIn& s = standIn[k];
    const std::size_t i = standInIndex(s, slot);
    if (s.slotPlusOne[i] != 0) {
        s.entry[i] = value;
        return true;
    }
    if (s.count == StandInCapacity) {
        moveStandInToTable(k);
        return false;
    }
    s.slotPlusOne[i] = static_cast<std::uint32_t>(slot + 1);
    s.entry[i] = value;
    ++s.count;
    recordWrite(k, slot);
    return true;
}

void zeroWrittenEntries() {
    for (int k = 0; k < 2; ++k) {
        // The big table was never written.
        if (standIn[k].active) {
            clearStandIn(standIn[k]);
            writtenCount[k] = 0;
            continue;
        }
        if (writtenCount[k] > WrittenListSize) {
            std::memset(hashp[k], 0, (HashMask + 1) * sizeof(hashentry));
        } else {
            for (std::size_t i = 0; i < writtenCount[k]; ++i) hashp[k][writtenSlots[k][i]] = {0, 0, 0};
        }
    }
    forgetWrites();
}

}  // namespace

void releaseHashTables() {
    for (StandIn& s : standIn) clearStandIn(s);
    pagesIn.store(false, std::memory_order_relaxed);
    pagesComing.store(false, std::memory_order_relaxed);
    for (hashentry*& table : hashp) {
        std::free(table);
        table = nullptr;
    }
    HashMask = 0;
    allocatedBits = -1;
    forgetWrites();
}

bool hashTablesAsWanted() { return haveWantedTables(); }

void allocateWantedHashTables() {
    if (!haveWantedTables()) {
        releaseHashTables();
        allocateHashTables();
    }
    pagesComing.store(CanPopulate && hashp[0] && !pagesIn.load(std::memory_order_relaxed), std::memory_order_release);
}

void touchStandInTables() {
    for (StandIn& s : standIn) std::memset(static_cast<void*>(&s), 0, sizeof s);
}

namespace {
bool populateBothTables(const std::atomic<bool>& cancel) {
    for (hashentry* table : hashp) {
        if (!table) return true;
        for (std::size_t offset = 0; offset < tableBytes(); offset += PopulateChunkBytes) {
            while (turnOnStandIn.load(std::memory_order_relaxed) && !cancel.load(std::memory_order_relaxed))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (cancel.load(std::memory_order_relaxed)) return false;
            const std::size_t bytes = std::min(PopulateChunkBytes, tableBytes() - offset);
            if (!populateChunk(reinterpret_cast<unsigned char*>(table) + offset, bytes)) return false;
        }
    }
    return true;
}
}  // namespace

bool populateHashTables(const std::atomic<bool>& cancel) {
    const bool done = populateBothTables(cancel);
    if (done) pagesIn.store(true, std::memory_order_relaxed);
    pagesComing.store(false, std::memory_order_release);
    return done;
}

void shrinkHashTables() {
    if (hashp[0] && allocatedBits > HashBits) releaseHashTables();
}

void freshHashTables() {
    if (haveWantedTables()) {
        zeroWrittenEntries();
        return;
    }
    releaseHashTables();
    allocateHashTables();
}

void initRandomkey() {
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            for (int k = 0; k < 2; ++k) randomkey[x][y][k] = rand64();
    freshHashTables();
    const bool coming = pagesComing.load(std::memory_order_acquire);
    for (int k = 0; k < 2; ++k) standIn[k].active = coming && hashp[k];
    turnOnStandIn.store(standIn[0].active || standIn[1].active, std::memory_order_relaxed);
}

void endStandInTurn() { turnOnStandIn.store(false, std::memory_order_relaxed); }

void prefetchHashEntry(int side, std::uint64_t key) {
    const int k = sideIndex(side);
    const hashentry* table = hashp[k];
    if (table && !standIn[k].active) __builtin_prefetch(&table[key & HashMask]);
}

int lookupHashValue(int side, std::uint64_t key, int depth) {
    const int k = sideIndex(side);
    const hashentry* table = hashp[k];
    if (!table) return HashMiss;
    const std::size_t slot = nowhash & HashMask;
    const hashentry& e = standIn[k].active ? standInEntry(standIn[k], slot) : table[slot];
    if (e.depth < depth) return HashMiss;
    if (e.key != key) return HashMiss;
    return e.value;
}

void putinHashValue(int side, std::uint64_t key, int value, int depth) {
    const int k = sideIndex(side);
    hashentry* table = hashp[k];
    if (!table) return;
    const std::size_t slot = nowhash & HashMask;
    if (standIn[k].active && putInStandIn(k, slot, {key, value, depth})) return;
    hashentry& e = table[slot];
    if (e.key == 0 && e.value == 0 && e.depth == 0) recordWrite(k, slot);
    e = {key, value, depth};
}
