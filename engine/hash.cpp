#include <algorithm>
#include <cstdlib>
#include <cstring>

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
constexpr std::size_t PopulateChunkBytes = std::size_t{4} << 20;

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

void zeroWrittenEntries() {
    for (int k = 0; k < 2; ++k) {
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
    if (haveWantedTables()) return;
    releaseHashTables();
    allocateHashTables();
}

bool populateHashTables(const std::atomic<bool>& cancel) {
    for (hashentry* table : hashp) {
        if (!table) return true;
        for (std::size_t offset = 0; offset < tableBytes(); offset += PopulateChunkBytes) {
            if (cancel.load(std::memory_order_relaxed)) return false;
            const std::size_t bytes = std::min(PopulateChunkBytes, tableBytes() - offset);
            if (!populateChunk(reinterpret_cast<unsigned char*>(table) + offset, bytes)) return false;
        }
    }
    return true;
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
}

void prefetchHashEntry(int side, std::uint64_t key) {
    const hashentry* table = hashp[sideIndex(side)];
    if (table) __builtin_prefetch(&table[key & HashMask]);
}

int lookupHashValue(int side, std::uint64_t key, int depth) {
    const hashentry* table = hashp[sideIndex(side)];
    if (!table) return HashMiss;
    const hashentry& e = table[nowhash & HashMask];
    if (e.depth < depth) return HashMiss;
    if (e.key != key) return HashMiss;
    return e.value;
}

void putinHashValue(int side, std::uint64_t key, int value, int depth) {
    const int k = sideIndex(side);
    hashentry* table = hashp[k];
    if (!table) return;
    const std::size_t slot = nowhash & HashMask;
    hashentry& e = table[slot];
    if (e.key == 0 && e.value == 0 && e.depth == 0 && writtenCount[k]++ < WrittenListSize)
        writtenSlots[k][writtenCount[k] - 1] = static_cast<std::uint32_t>(slot);
    e = {key, value, depth};
}
