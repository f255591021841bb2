// What the manager's INFO settings let a turn use.
#include <gtest/gtest.h>

#include <climits>

#include "deep/table.h"
#include "protocol/protocol.h"

namespace {

class ManagerLimits : public ::testing::Test {
protected:
    void SetUp() override { setInfo(30000, 1000000000, 1000000000); }
    void TearDown() override { setInfo(30000, 1000000000, 1000000000); }
    static void setInfo(int turn, int match, int left) {
        info_timeout_turn = turn;
        info_timeout_match = match;
        info_time_left = left;
    }
};

// An analysis board's hash_size (KB) sizes the deep table, up to the largest
// size it was offered, and never past what max_memory leaves.
TEST(DeepTable, HashSizeIsTakenWithinMaxMemory) {
    EXPECT_EQ(deep_table_bytes(0, 1000, 65536), 64ll << 20);
    EXPECT_EQ(deep_table_bytes(0, 1000, 1ll << 40), 1ll << (largest_hash_size_log2() + 10));
    const long long capped = deep_table_bytes(100ll << 20, 1000, 1 << 20);
    EXPECT_GT(capped, 0);
    EXPECT_LT(capped, 100ll << 20);
    EXPECT_EQ(deep_table_bytes(100ll << 20, 1000, 0), deep_table_bytes(100ll << 20, 1000));
}

// Under the defaults the engine's own 4.5 s cap is what limits a turn.
TEST_F(ManagerLimits, DefaultsLeaveTheEngineCap) { EXPECT_GE(manager_time_limit_ms(), 4500); }

TEST_F(ManagerLimits, ZeroTurnTimeMeansAnswerAtOnce) {
    setInfo(0, 1000000000, 1000000000);
    EXPECT_EQ(manager_time_limit_ms(), 0);
}

TEST_F(ManagerLimits, TurnTimeIsKeptWithAMargin) {
    setInfo(1000, 1000000000, 1000000000);
    const long long limit = manager_time_limit_ms();
    EXPECT_GT(limit, 0);
    EXPECT_LT(limit, 1000);
}

TEST_F(ManagerLimits, LittleTimeLeftTakesOnlyAShare) {
    setInfo(30000, 180000, 10000);
    const long long limit = manager_time_limit_ms();
    EXPECT_GT(limit, 0);
    EXPECT_LT(limit, 10000 / 2);
}

TEST_F(ManagerLimits, NoTimeLeftMeansAnswerAtOnce) {
    setInfo(30000, 180000, -500);
    EXPECT_EQ(manager_time_limit_ms(), 0);
    setInfo(30000, 180000, 0);
    EXPECT_EQ(manager_time_limit_ms(), 0);
}

// Without a match limit the time left means nothing.
TEST_F(ManagerLimits, NoMatchLimitIgnoresTimeLeft) {
    setInfo(30000, 0, -500);
    EXPECT_GE(manager_time_limit_ms(), 4500);
    setInfo(30000, 0, 0);
    EXPECT_GE(manager_time_limit_ms(), 4500);
}

TEST_F(ManagerLimits, LargestValuesDoNotOverflow) {
    setInfo(INT_MAX, INT_MAX, INT_MAX);
    EXPECT_GE(manager_time_limit_ms(), 4500);
    setInfo(INT_MAX, 1000000000, 1000000000);
    EXPECT_GE(manager_time_limit_ms(), 4500);
    setInfo(30000, INT_MAX, INT_MAX);
    EXPECT_GE(manager_time_limit_ms(), 4500);
}

// A swap2 decision has no turn of its own: it takes a share of the match
// clock within the turn limit, and never what the clock has not got.
TEST_F(ManagerLimits, Swap2TakesAShareOfTheClockWithinTheTurn) {
    info_time_given = true;
    info_max_depth = 20;
    setInfo(5000, 120000, 118000);
    EXPECT_GT(swap2_time_limit_ms(), 1000);
    EXPECT_LT(swap2_time_limit_ms(), 5000);
    setInfo(30000, 180000, 3000);
    EXPECT_GT(swap2_time_limit_ms(), 0);
    EXPECT_LT(swap2_time_limit_ms(), 3000 / 4);
    setInfo(5000, 120000, -200);
    EXPECT_EQ(swap2_time_limit_ms(), 0);
    setInfo(0, 120000, 118000);
    EXPECT_EQ(swap2_time_limit_ms(), 0);
    info_max_depth = 0;
    setInfo(30000, 0, 0);
    EXPECT_GT(swap2_time_limit_ms(), 0);
    EXPECT_LE(swap2_time_limit_ms(), 1000) << "the plain executable answers quickly";
    info_time_given = false;
}

// A swap2 decision's table fits beside the tables of either executable's turns.
TEST(HashMemory, Swap2TableFitsBesideTheTurnsTables) {
    EXPECT_EQ(swap2_table_bytes(0, false), 16ll << 20);
    EXPECT_EQ(swap2_table_bytes(0, true), 16ll << 20);
    for (long long mib : {350, 100, 64, 40, 32}) {
        const long long bytes = mib << 20;
        const long long hash = 2 * 16ll << hash_bits_for_memory(bytes);
        EXPECT_GE(swap2_table_bytes(bytes, false), 0) << mib << " MiB";
        EXPECT_LE(swap2_table_bytes(bytes, false) + hash + (16ll << 20), bytes) << mib << " MiB";
        EXPECT_GE(swap2_table_bytes(bytes, true), 0) << mib << " MiB";
        const auto deepTable = static_cast<long long>(
            deep::TranspositionTable::bytesFor(static_cast<std::size_t>(deep_table_bytes(bytes, info_timeout_turn))));
        EXPECT_LE(swap2_table_bytes(bytes, true) + deepTable + (16ll << 20), bytes) << mib << " MiB";
    }
    EXPECT_GT(swap2_table_bytes(350ll << 20, true), 0) << "the deep table is a power of two: room is left";
}

TEST(HashMemory, NoLimitKeepsTheDefaultTables) {
    EXPECT_EQ(hash_bits_for_memory(0), 22);
    EXPECT_EQ(hash_bits_for_memory(-1), 22);
    EXPECT_EQ(hash_bits_for_memory(INT_MAX), 22);
    EXPECT_EQ(hash_bits_for_memory(1ll << 40), 22);
}

// Two tables of 16-byte entries must fit in what max_memory allows.
TEST(HashMemory, SmallLimitsGetSmallerTables) {
    int previous = 22;
    for (long long mib : {512, 160, 100, 80, 64, 48, 40, 32, 24}) {
        const long long bytes = mib << 20;
        const int bits = hash_bits_for_memory(bytes);
        EXPECT_LE(bits, previous) << mib << " MiB";
        EXPECT_LE(2 * 16ll << bits, bytes) << mib << " MiB";
        previous = bits;
    }
    EXPECT_LT(hash_bits_for_memory(80ll << 20), 22);
    EXPECT_LT(hash_bits_for_memory(40ll << 20), hash_bits_for_memory(160ll << 20));
}

}  // namespace
