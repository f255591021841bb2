#include <gtest/gtest.h>

#include <cstdlib>
#include <unordered_map>

#include "engine/engine.h"
#include "position_helpers.h"

using namespace morrow_test;

namespace {

// Puts the generator, its hooks and the table size back and frees the
// tables, whatever a test did to them.
class Hashing : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        savedSource = RandomSource;
        savedAllocate = HashAllocate;
        savedBits = HashBits;
        HashBits = DefaultHashBits;
        releaseHashTables();
        resetRandom();
    }
    void TearDown() override {
        RandomSource = savedSource;
        HashAllocate = savedAllocate;
        HashBits = savedBits;
        releaseHashTables();
        resetRandom();
        EngineTest::TearDown();
    }

    int (*savedSource)() = nullptr;
    void* (*savedAllocate)(std::size_t, std::size_t) = nullptr;
    int savedBits = DefaultHashBits;
};

class TranspositionTable : public Hashing {
protected:
    void SetUp() override {
        Hashing::SetUp();
        initRandomkey();
        ASSERT_NE(hashp[0], nullptr);
        ASSERT_NE(hashp[1], nullptr);
        nowhash = 0;
    }
};

// Injected generators.
int ones() { return 1; }
int allBits() { return 32767; }
int sequenceCalls = 0;
int countingUp() { return ++sequenceCalls; }

int allocations = 0;
void* noMemory(std::size_t, std::size_t) { return nullptr; }
void* atMostMillionEntries(std::size_t count, std::size_t size) {
    ++allocations;
    return count > (std::size_t{1} << 20) ? nullptr : std::calloc(count, size);
}
void* secondCallFails(std::size_t count, std::size_t size) {
    return ++allocations == 2 ? nullptr : std::calloc(count, size);
}

std::uint64_t laidSideBySide(std::uint64_t r1, std::uint64_t r2, std::uint64_t r3, std::uint64_t r4,
                             std::uint64_t r5) {
    return r1 ^ (r2 << 15) ^ (r3 << 30) ^ (r4 << 45) ^ (r5 << 60);
}

// The key generator written out again: state * 214013 + 2531011, bits 16..30.
struct ExpectedGenerator {
    std::uint32_t state = 1;
    std::uint64_t next() {
        state = state * 214013u + 2531011u;
        return (state >> 16) & 0x7FFF;
    }
    std::uint64_t key() {
        const std::uint64_t r1 = next(), r2 = next(), r3 = next(), r4 = next(), r5 = next();
        return laidSideBySide(r1, r2, r3, r4, r5);
    }
};

}  // namespace

TEST_F(Hashing, GeneratorStartsWithKnownResults) {
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    EXPECT_EQ(nextRandom(), 6334);
    EXPECT_EQ(nextRandom(), 26500);
    EXPECT_EQ(nextRandom(), 19169);
    resetRandom();
    EXPECT_EQ(nextRandom(), 41);
}

TEST_F(Hashing, Rand64LaysFiveResultsSideBySide) {
    RandomSource = ones;
    EXPECT_EQ(rand64(), 0x1000200040008001ull);

    sequenceCalls = 0;
    RandomSource = countingUp;
    EXPECT_EQ(rand64(), 0x50008000C0010001ull);

    RandomSource = allBits;
    EXPECT_EQ(rand64(), ~std::uint64_t{0});
}

TEST_F(Hashing, KeysAreDrawnCellByCellThenSide) {
    sequenceCalls = 0;
    RandomSource = countingUp;
    HashAllocate = noMemory;
    initRandomkey();
    EXPECT_EQ(sequenceCalls, 4000);
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y)
            for (int k = 0; k < 2; ++k) {
                const std::uint64_t c = 5 * (40 * x + 2 * y + k) + 1;
                ASSERT_EQ(randomkey[x][y][k], laidSideBySide(c, c + 1, c + 2, c + 3, c + 4))
                    << x << "," << y << " side " << k;
            }
}

// With the real generator the keys of consecutive turns continue one sequence.
TEST_F(Hashing, KeysContinueFromTurnToTurn) {
    HashAllocate = noMemory;
    ExpectedGenerator expected;
    EXPECT_EQ(laidSideBySide(41, 18467, 6334, 26500, 19169), ExpectedGenerator().key());

    initRandomkey();
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y)
            for (int k = 0; k < 2; ++k) ASSERT_EQ(randomkey[x][y][k], expected.key()) << x << "," << y;
    const std::uint64_t firstTurn = randomkey[7][11][1];

    initRandomkey();
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y)
            for (int k = 0; k < 2; ++k) ASSERT_EQ(randomkey[x][y][k], expected.key()) << x << "," << y;
    EXPECT_NE(randomkey[7][11][1], firstTurn);
}

TEST_F(TranspositionTable, FreshTablesAreZeroFilled) {
    EXPECT_EQ(HashMask, 0x3FFFFFu);
    for (int k = 0; k < 2; ++k)
        for (std::uint64_t i = 0; i <= HashMask; ++i) {
            const hashentry& e = hashp[k][i];
            ASSERT_TRUE(e.key == 0 && e.value == 0 && e.depth == 0) << "table " << k << " slot " << i;
        }
    // A zero entry answers key 0 at depth 0 with value 0, in any slot.
    for (std::uint64_t slot : {0ull, 1ull, 0x2A2A2Aull, 0x3FFFFFull}) {
        nowhash = slot;
        EXPECT_EQ(lookupHashValue(X, 0, 0), 0);
        EXPECT_EQ(lookupHashValue(O, 0, 0), 0);
        EXPECT_EQ(lookupHashValue(X, 0, 1), HashMiss);
        EXPECT_EQ(lookupHashValue(X, slot | 0x400000, 0), HashMiss);
    }
}

TEST_F(TranspositionTable, AnswersOnlyEqualOrSmallerDepth) {
    const std::uint64_t key = 0x8765432112345678ull;
    nowhash = key;
    putinHashValue(X, key, -1234, 3);
    for (int depth = 0; depth <= 3; ++depth) EXPECT_EQ(lookupHashValue(X, key, depth), -1234) << depth;
    EXPECT_EQ(lookupHashValue(X, key, 4), HashMiss);

    // A leaf value answers only depth 0; the comparison is signed.
    putinHashValue(X, key, 77, 0);
    EXPECT_EQ(lookupHashValue(X, key, 0), 77);
    EXPECT_EQ(lookupHashValue(X, key, 1), HashMiss);
    putinHashValue(X, key, 88, -1);
    EXPECT_EQ(lookupHashValue(X, key, 0), HashMiss);
    EXPECT_EQ(lookupHashValue(X, key, -1), 88);
}

TEST_F(TranspositionTable, StoredValuesComeBackWhateverTheyAre) {
    const std::uint64_t key = 0x00000000DEADBEEFull;
    nowhash = key;
    for (int value : {0, 1, -1, 20000, -20000, 123456, HashMiss}) {
        putinHashValue(O, key, value, 2);
        EXPECT_EQ(lookupHashValue(O, key, 2), value);
    }
}

TEST_F(TranspositionTable, KeyMustMatchInAll64Bits) {
    const std::uint64_t key = 0x0F0F0F0F0F0F0F0Full;
    nowhash = key;
    putinHashValue(X, key, 500, 4);
    for (int bit = 0; bit < 64; ++bit)
        EXPECT_EQ(lookupHashValue(X, key ^ (std::uint64_t{1} << bit), 0), HashMiss) << "bit " << bit;
    EXPECT_EQ(lookupHashValue(X, key, 0), 500);
}

TEST_F(TranspositionTable, KeysAgreeingInLow22BitsShareASlot) {
    const std::uint64_t first = 0x123456;
    const std::uint64_t second = first | (std::uint64_t{1} << 40);

    nowhash = first;
    putinHashValue(X, first, 5, 9);
    nowhash = second;
    EXPECT_EQ(lookupHashValue(X, second, 0), HashMiss);

    // A shallower store of the other key still replaces the entry.
    putinHashValue(X, second, 7, 0);
    EXPECT_EQ(lookupHashValue(X, second, 0), 7);
    nowhash = first;
    EXPECT_EQ(lookupHashValue(X, first, 0), HashMiss);

    // Keys in different slots live side by side.
    const std::uint64_t third = first ^ 1;
    nowhash = third;
    putinHashValue(X, third, 11, 1);
    nowhash = second;
    EXPECT_EQ(lookupHashValue(X, second, 0), 7);
    nowhash = third;
    EXPECT_EQ(lookupHashValue(X, third, 1), 11);
}

// The slot comes from the current position's key; the key passed in is only
// compared and stored.
TEST_F(TranspositionTable, SlotComesFromTheCurrentPosition) {
    const std::uint64_t position = 0x1111;
    const std::uint64_t stored = 0x2222;
    nowhash = position;
    putinHashValue(X, stored, 99, 1);
    EXPECT_EQ(lookupHashValue(X, stored, 1), 99);
    nowhash = stored;
    EXPECT_EQ(lookupHashValue(X, stored, 1), HashMiss);
}

// A new turn's tables hold nothing of the last turn's, however much it wrote.
TEST_F(TranspositionTable, NewTurnStartsFromEmptyTables) {
    auto expectAllZero = [] {
        for (int k = 0; k < 2; ++k)
            for (std::uint64_t i = 0; i <= HashMask; ++i) {
                const hashentry& e = hashp[k][i];
                ASSERT_TRUE(e.key == 0 && e.value == 0 && e.depth == 0) << "table " << k << " slot " << i;
            }
    };
    for (std::uint64_t key : {0x5ull, 0x3FFFFFull, 0x123456789ABull}) {
        nowhash = key;
        putinHashValue(X, key, 10, 2);
        putinHashValue(O, key, -10, 3);
        putinHashValue(O, key, 0, 0);  // an all-zero entry but for its key
    }
    nowhash = 0x77;
    putinHashValue(X, 0, 0, 0);  // an entry that is all zero
    initRandomkey();
    nowhash = 0x5;
    EXPECT_EQ(lookupHashValue(X, 0x5, 0), HashMiss);
    expectAllZero();

    // A turn that fills a large part of one table.
    for (std::uint64_t slot = 0; slot < 600000; ++slot) {
        nowhash = slot * 7 & 0x3FFFFF;
        putinHashValue(slot % 3 ? X : O, nowhash | (slot << 40), 1, 1);
    }
    initRandomkey();
    expectAllZero();
}

// While the tables' pages are coming, a turn's entries live in a small
// stand-in until it fills and they move to the big table: reads must be
// what the big table alone would give, before and after the move, and the
// next turn must find nothing of them.
TEST_F(Hashing, EntriesReadTheSameWhileThePagesAreComing) {
    allocateWantedHashTables();
    std::uint64_t state = 12345;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 11;
    };
    // A short turn that fits in the stand-in, then one that overflows it.
    for (const int steps : {4000, 700000}) {
        initRandomkey();
        std::unordered_map<std::uint64_t, hashentry> model[2];
        for (int step = 0; step < steps; ++step) {
            const int side = step % 3 ? X : O;
            const int k = side == X ? 0 : 1;
            // Half the steps revisit a recent slot, so that entries are overwritten.
            nowhash = step % 2 ? next() : (state & 0xFFFF);
            const std::uint64_t slot = nowhash & HashMask;
            if (step % 4 == 0) {
                const auto it = model[k].find(slot);
                const hashentry e = it == model[k].end() ? hashentry{0, 0, 0} : it->second;
                const int expected = e.depth < 1 || e.key != nowhash ? HashMiss : e.value;
                ASSERT_EQ(lookupHashValue(side, nowhash, 1), expected) << "step " << step;
            } else {
                const int value = static_cast<int>(next() % 1000);
                putinHashValue(side, nowhash, value, 1 + step % 3);
                model[k][slot] = {nowhash, value, 1 + step % 3};
            }
        }
        initRandomkey();
        for (int k = 0; k < 2; ++k)
            for (const auto& [slot, entry] : model[k]) {
                nowhash = entry.key;
                ASSERT_EQ(lookupHashValue(k == 0 ? X : O, entry.key, 1), HashMiss) << steps;
                const hashentry& e = hashp[k][slot];
                ASSERT_TRUE(e.key == 0 && e.value == 0 && e.depth == 0) << "table " << k << " slot " << slot;
            }
    }
}

TEST_F(TranspositionTable, EachSideToMoveHasItsOwnTable) {
    const std::uint64_t key = 0xABCDEF0123456789ull;
    nowhash = key;
    putinHashValue(X, key, 300, 2);
    EXPECT_EQ(lookupHashValue(O, key, 0), HashMiss);
    putinHashValue(O, key, -300, 1);
    EXPECT_EQ(lookupHashValue(X, key, 2), 300);
    EXPECT_EQ(lookupHashValue(O, key, 1), -300);
    EXPECT_EQ(lookupHashValue(O, key, 2), HashMiss);
}

TEST_F(Hashing, NoTablesMeansMissesAndNoStores) {
    HashAllocate = noMemory;
    initRandomkey();
    EXPECT_EQ(hashp[0], nullptr);
    EXPECT_EQ(hashp[1], nullptr);
    for (std::uint64_t key : {0ull, 1ull, 0x123456789ull}) {
        nowhash = key;
        putinHashValue(X, key, 42, 0);
        putinHashValue(O, key, 42, 0);
        EXPECT_EQ(lookupHashValue(X, key, 0), HashMiss);
        EXPECT_EQ(lookupHashValue(O, key, 0), HashMiss);
    }
}

TEST_F(Hashing, FallsBackToSmallerTablesWhenMemoryIsShort) {
    allocations = 0;
    HashAllocate = atMostMillionEntries;
    initRandomkey();
    ASSERT_NE(hashp[0], nullptr);
    ASSERT_NE(hashp[1], nullptr);
    EXPECT_NE(hashp[0], hashp[1]);
    EXPECT_EQ(HashMask, (std::uint64_t{1} << 20) - 1);

    // The slot follows the smaller mask: keys equal in their low 20 bits collide.
    const std::uint64_t first = 0x54321;
    const std::uint64_t second = first | (std::uint64_t{1} << 21);
    nowhash = first;
    putinHashValue(X, first, 1, 0);
    nowhash = second;
    putinHashValue(X, second, 2, 0);
    nowhash = first;
    EXPECT_EQ(lookupHashValue(X, first, 0), HashMiss);
    nowhash = second;
    EXPECT_EQ(lookupHashValue(X, second, 0), 2);
    releaseHashTables();

    // Both tables must come from the same size: a failing second table
    // sends both down a step.
    allocations = 0;
    HashAllocate = secondCallFails;
    initRandomkey();
    ASSERT_NE(hashp[0], nullptr);
    ASSERT_NE(hashp[1], nullptr);
    EXPECT_EQ(HashMask, (std::uint64_t{1} << 21) - 1);
}
