#include <cstdlib>

#include "engine.h"

namespace reference {

hashentry* hashp[2];
std::uint64_t HashMask;
int HashBits = DefaultHashBits;
namespace {
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

void releaseHashTables() {
    for (hashentry*& table : hashp) {
        std::free(table);
        table = nullptr;
    }
    HashMask = 0;
}

namespace {
// Largest pair of tables not above 2^HashBits entries that can be had;
// none at all when even the smallest cannot.
void allocateHashTables() {
    for (int bits = HashBits; bits >= MinHashBits; --bits) {
        const std::size_t entries = std::size_t{1} << bits;
        hashp[0] = static_cast<hashentry*>(HashAllocate(entries, sizeof(hashentry)));
        hashp[1] = hashp[0] ? static_cast<hashentry*>(HashAllocate(entries, sizeof(hashentry))) : nullptr;
        if (hashp[0] && hashp[1]) {
            HashMask = entries - 1;
            return;
        }
        releaseHashTables();
    }
}
}  // namespace

void initRandomkey() {
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            for (int k = 0; k < 2; ++k) randomkey[x][y][k] = rand64();
    releaseHashTables();
    allocateHashTables();
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
    hashentry* table = hashp[sideIndex(side)];
    if (!table) return;
    table[nowhash & HashMask] = {key, value, depth};
}

}  // namespace reference
