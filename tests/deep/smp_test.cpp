// Deep turns searched by several threads at once: the shared table under
// concurrent writers, and the engine's helpers (what they play, how their
// nodes count, how they stop). Run under ThreadSanitizer too.
#include <chrono>
#include <thread>
#include <utility>

#include "deep_helpers.h"

namespace deep_test {
namespace {

// What a writer stores under `key`: every field follows from it, so a hit
// whose fields do not is half of one entry and half of another.
struct Stored {
    int value, eval, move, depth;
};
Stored storedFor(std::uint64_t key) {
    return {static_cast<int>(key % 20001) - 10000, static_cast<int>(key / 7 % 2001) - 1000,
            static_cast<int>(key / 11 % 400), static_cast<int>(key / 13 % 60)};
}

TEST(DeepSmp, TableWritersRacingOnFewBucketsLeaveOnlyWholeEntries) {
    TranspositionTable table;
    table.resize(64 << 10);
    // Sixty-four keys over eight buckets: the writers overwrite each
    // other's entries all the time, and most probes hit.
    std::uint64_t keys[64];
    for (int j = 0; j < 64; ++j) {
        std::uint64_t z = (j + 1) * 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 31)) * 0xBF58476D1CE4E5B9ull;
        keys[j] = (z & ~std::uint64_t{1023}) | static_cast<std::uint64_t>(j % 8);
    }
    std::atomic<long long> hits{0}, torn{0};
    const auto work = [&](std::uint64_t seed) {
        std::uint64_t x = seed;
        for (int i = 0; i < 200000; ++i) {
            x = x * 6364136223846793005ull + 1442695040888963407ull;
            const std::uint64_t key = keys[x >> 58];
            const Stored s = storedFor(key);
            table.store(key, s.value, s.eval, s.move, s.depth, ExactBound);
            const std::uint64_t other = keys[(x >> 52) & 63];
            TableHit hit;
            if (!table.probe(other, hit)) continue;
            const Stored want = storedFor(other);
            hits.fetch_add(1, std::memory_order_relaxed);
            if (hit.value != want.value || hit.eval != want.eval || hit.move != want.move || hit.depth != want.depth)
                torn.fetch_add(1, std::memory_order_relaxed);
        }
    };
    std::thread a(work, 1), b(work, 2);
    a.join();
    b.join();
    EXPECT_GT(hits.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "of " << hits.load() << " hits";
}

// The engine to move, as either colour: (7,6) makes two open threes of
// its, the one winning move; the other side's stones are far off.
TurnPosition doubleThree(int ownSide) {
    TurnPosition turn = turnFrom({}, ownSide);
    for (const auto& [cx, cy] : {std::pair{5, 6}, {6, 6}, {7, 7}, {7, 8}}) turn.cell[cx][cy] = 1;
    for (const auto& [cx, cy] : {std::pair{0, 14}, {14, 0}, {14, 14}, {2, 1}}) turn.cell[cx][cy] = 2;
    // White to move: black has a stone more, as far off.
    if (ownSide == 1) turn.cell[12][1] = 2;
    return turn;
}

TEST(DeepSmp, HelpersPlayTheWinsOneThreadFindsTurnAfterTurn) {
    Engine single, team;
    for (Engine* e : {&single, &team}) {
        e->setTableBytes(1 << 20);
        // The win must come from the iterations, not the main search's root threat search.
        e->knobs().rootVct = false;
    }
    team.setThreads(2);
    const TurnPosition turns[] = {
        doubleThree(0),
        doubleThree(1),
        turnFrom({"OXXXX.", "......", ".OOOO."}, 0),  // five to make
        turnFrom({"..O....", ".XXO...", "..XO...", "...X...", "....O.."}, 0),
        doubleThree(0),
    };
    int turn = 0;
    for (const TurnPosition& t : turns) {
        // The helper threads are kept, and remade when their count changes between turns.
        if (turn == 3) team.setThreads(3);
        if (turn == 4) team.setThreads(2);
        const Engine::Move one = single.think(t, nodeLimit(60000));
        const Engine::Move two = team.think(t, nodeLimit(60000));
        ASSERT_GE(two.x, 0) << "turn " << turn;
        EXPECT_EQ(t.cell[two.x][two.y], 0) << "turn " << turn;
        if (turn != 3) {
            // A forced answer: the same whoever finds it.
            EXPECT_EQ(two.x, one.x) << "turn " << turn;
            EXPECT_EQ(two.y, one.y) << "turn " << turn;
        }
        if (turn == 0 || turn == 1 || turn == 4) {
            EXPECT_EQ(one.x, 7);
            EXPECT_EQ(one.y, 6);
            EXPECT_GE(team.search().rootValue(), ProvenScore) << "turn " << turn;
        }
        ++turn;
    }
}

TEST(DeepSmp, NodeLimitAndStopFlagEndEveryThread) {
    const TurnPosition turn = turnFrom({"..O....", ".XXO...", "..XO...", "...X...", "....O.."}, 0);
    Engine engine;
    engine.setTableBytes(1 << 20);
    engine.setThreads(2);

    // The limit counts both threads' nodes: two threads do not search twice as many.
    constexpr long long Limit = 100000;
    Engine::Move m = engine.think(turn, nodeLimit(Limit));
    ASSERT_GE(m.x, 0);
    EXPECT_EQ(turn.cell[m.x][m.y], 0);
    EXPECT_GE(engine.nodes(), Limit);
    EXPECT_LT(engine.nodes(), Limit + Limit / 10);
    // Both searched: the one whose move was played did not search them all.
    EXPECT_LT(engine.search().nodes(), engine.nodes());

    // No limit but the stop flag, set from another thread.
    std::atomic<bool> stop{false};
    SearchLimits limits;
    limits.stop = &stop;
    limits.maxDepth = MaxPly;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.store(true);
    });
    m = engine.think(turn, limits);
    stopper.join();
    ASSERT_GE(m.x, 0);
    EXPECT_EQ(turn.cell[m.x][m.y], 0);
}

}  // namespace
}  // namespace deep_test
