// run(): the move a turn answers with, whole or cut short by the clock.
#include <algorithm>
#include <map>
#include <tuple>

#include "position_helpers.h"

namespace morrow_test {
namespace {

// A clock that moves one millisecond each time it is read, so that a turn
// is cut at an exact point of its search.
long long fakeNow;
long long fakeClock() { return fakeNow++; }

// The same clock, noting the root values of each finished iteration: the
// turn reads the clock as it starts the next iteration, before the root
// memory is reused.
std::map<std::tuple<int, int, int>, int> rootValues;  // (depth, x, y) -> value
int notedDepth;
void noteRootValues(int depth) {
    for (const onemove& m : maxDlastGMoves)
        if (m.x != -1) rootValues[{depth, m.x, m.y}] = m.value;
}
long long notingClock() {
    if (MaxDepth != notedDepth) {
        if (notedDepth >= 1) noteRootValues(notedDepth);
        notedDepth = MaxDepth;
    }
    return fakeNow++;
}

class Turn : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        resetRandom();
        TimeLimitMs = -1;
        ManagerLimitMs = -1;
    }
    void TearDown() override {
        ClockSource = savedClock;
        TimeLimitMs = 4500;
        ManagerLimitMs = -1;
        NodeLimit = 0;
        DepthLimit = DefaultSearchDepth;
        HashAllocate = savedAllocate;
        releaseHashTables();
        EngineTest::TearDown();
    }

    // A turn reads the stones from `board`, as the brain leaves them.
    cellpos turnOn(const BoardCopy& stones) {
        for (int x = 0; x < BoardSize; ++x)
            for (int y = 0; y < BoardSize; ++y) board[x][y] = stones[x][y];
        const cellpos move = run();
        EXPECT_EQ(snapshot(), stones) << "the turn must leave the board as it found it";
        return move;
    }

    void expectPlayable(cellpos move) {
        ASSERT_TRUE(move.x >= 0 && move.x < BoardSize && move.y >= 0 && move.y < BoardSize);
        EXPECT_EQ(board[move.x][move.y], 0) << move.x << "," << move.y;
        EXPECT_FALSE(Closed[move.x][move.y]) << move.x << "," << move.y;
    }

    // The first cell of the full ordered list that may be played.
    static cellpos firstOrderedFree() {
        onemove list[CellCount];
        SortMoves(X, list);
        for (const onemove& m : list)
            if (board[m.x][m.y] == 0 && !Closed[m.x][m.y]) return {m.x, m.y};
        return {-1, -1};
    }

    long long (*savedClock)() = ClockSource;
    void* (*savedAllocate)(std::size_t, std::size_t) = HashAllocate;
};

TEST_F(Turn, EmptyBoardFallsBackToTheLastCell) {
    const cellpos move = turnOn(snapshot());
    EXPECT_EQ(move.x, 19);
    EXPECT_EQ(move.y, 19);
    EXPECT_EQ(IterationCount, 4);
}

TEST_F(Turn, SameTurnTwiceFromTheSameGeneratorPoint) {
    putLine(8, 8, 1, 1, "OXO");
    putLine(9, 7, 0, 1, "X-O");
    const BoardCopy stones = snapshot();
    const cellpos first = turnOn(stones);
    const long long nodes = Nodes;
    resetRandom();
    const cellpos second = turnOn(stones);
    EXPECT_EQ(first.x, second.x);
    EXPECT_EQ(first.y, second.y);
    EXPECT_EQ(Nodes, nodes);
}

// Cut anywhere, a turn answers with the best root move it searched to the
// end in its last iteration; if none, with the move of the iteration before,
// and only in the first iteration with the ordered list's first free cell;
// never with the move the clock interrupted.
TEST_F(Turn, CutShortAnswersWithAFullySearchedMove) {
    putLine(8, 8, 1, 1, "OXO");
    putLine(9, 7, 0, 1, "X-O");
    putLine(11, 6, 1, 0, "OX");
    const BoardCopy stones = snapshot();

    // Uncut, to learn what every root move is worth in every iteration.
    ClockSource = notingClock;
    notedDepth = 0;
    fakeNow = 0;
    turnOn(stones);
    noteRootValues(MaxDepth);

    ClockSource = fakeClock;
    int cutsWithoutMove = 0, cutsWithMove = 0, cutsKeepingEarlierMove = 0;
    for (long long limit = 0; limit < 400; limit += 3) {
        resetRandom();
        fakeNow = 0;
        TimeLimitMs = limit;
        const cellpos move = turnOn(stones);
        expectPlayable(move);
        if (!timeup) continue;

        // maxDlastGMoves holds exactly the root moves the last iteration
        // searched to the end, each with its true value; the first of the
        // highest wins.
        const onemove* best = nullptr;
        for (const onemove& m : maxDlastGMoves) {
            if (m.x == -1) continue;
            const auto truth = rootValues.find({MaxDepth, m.x, m.y});
            ASSERT_NE(truth, rootValues.end()) << "limit " << limit;
            EXPECT_EQ(m.value, truth->second) << "limit " << limit << " move " << m.x << "," << m.y;
            if (!best || m.value > best->value) best = &m;
        }
        if (best && best->value > -WinScore) {
            ++cutsWithMove;
            EXPECT_EQ(move.x, best->x) << "limit " << limit;
            EXPECT_EQ(move.y, best->y) << "limit " << limit;
        } else if (IterationCount > 1) {
            ++cutsKeepingEarlierMove;
            const cellpos earlier = Iterations[IterationCount - 2].best;
            ASSERT_TRUE(Iterations[IterationCount - 2].complete);
            EXPECT_EQ(move.x, earlier.x) << "limit " << limit;
            EXPECT_EQ(move.y, earlier.y) << "limit " << limit;
        } else {
            ++cutsWithoutMove;
            const cellpos fallback = firstOrderedFree();
            EXPECT_EQ(move.x, fallback.x) << "limit " << limit;
            EXPECT_EQ(move.y, fallback.y) << "limit " << limit;
        }
        EXPECT_EQ(Iterations[IterationCount - 1].best.x, move.x) << "limit " << limit;
        EXPECT_EQ(Iterations[IterationCount - 1].best.y, move.y) << "limit " << limit;
    }
    EXPECT_GT(cutsWithMove, 0);
    EXPECT_GT(cutsWithoutMove, 0);
    EXPECT_GT(cutsKeepingEarlierMove, 0);
}

// A node limit cuts the turn as the clock would, at the same point on every
// machine: the answer follows the cut-turn rule, and the same limit gives the
// same move and count again.
TEST_F(Turn, NodeLimitCutsLikeTheClock) {
    putLine(8, 8, 1, 1, "OXO");
    putLine(9, 7, 0, 1, "X-O");
    putLine(11, 6, 1, 0, "OX");
    const BoardCopy stones = snapshot();
    turnOn(stones);
    const long long uncut = Nodes;

    int cutsInLaterIterations = 0;
    for (long long limit : {1ll, 20ll, uncut / 7, uncut / 3, uncut - 1}) {
        NodeLimit = limit;
        resetRandom();
        const cellpos move = turnOn(stones);
        ASSERT_TRUE(timeup) << "limit " << limit;
        EXPECT_EQ(Nodes, limit) << "the turn must stop once it has searched the limit";
        expectPlayable(move);
        const IterationStats& last = Iterations[IterationCount - 1];
        EXPECT_FALSE(last.complete);
        EXPECT_EQ(last.best.x, move.x);
        EXPECT_EQ(last.best.y, move.y);
        cutsInLaterIterations += IterationCount > 1;

        resetRandom();
        const cellpos again = turnOn(stones);
        EXPECT_EQ(again.x, move.x);
        EXPECT_EQ(again.y, move.y);
    }
    EXPECT_GT(cutsInLaterIterations, 0);

    NodeLimit = uncut;
    resetRandom();
    turnOn(stones);
    EXPECT_FALSE(timeup) << "a limit the turn does not reach cuts nothing";
}

// Deeper turns repeat the first four iterations exactly and go on from there.
TEST_F(Turn, DepthLimitAddsIterations) {
    putLine(8, 8, 1, 1, "OXO");
    putLine(9, 7, 0, 1, "X-O");
    const BoardCopy stones = snapshot();
    turnOn(stones);
    ASSERT_EQ(IterationCount, DefaultSearchDepth);
    IterationStats four[DefaultSearchDepth];
    std::copy(Iterations, Iterations + DefaultSearchDepth, four);

    for (int depth : {1, 3}) {
        DepthLimit = depth;
        resetRandom();
        const cellpos move = turnOn(stones);
        expectPlayable(move);
        ASSERT_EQ(IterationCount, depth);
        for (int i = 0; i < std::min(depth, DefaultSearchDepth); ++i) {
            EXPECT_EQ(Iterations[i].value, four[i].value) << "depth " << depth << " iteration " << i + 1;
            EXPECT_EQ(Iterations[i].nodes, four[i].nodes) << "depth " << depth << " iteration " << i + 1;
        }
        EXPECT_EQ(Iterations[depth - 1].depth, depth);
        EXPECT_TRUE(Iterations[depth - 1].complete);
        EXPECT_GT(Iterations[depth - 1].nodes, 0);
    }

    // Above the default depth the turn is a deep one: it deepens one ply at a
    // time to the limit and answers a free cell.
    DepthLimit = 6;
    const cellpos move = turnOn(stones);
    expectPlayable(move);
    ASSERT_EQ(IterationCount, 6);
    for (int i = 0; i < IterationCount; ++i) {
        EXPECT_EQ(Iterations[i].depth, i + 1);
        EXPECT_TRUE(Iterations[i].complete);
    }
    EXPECT_EQ(Iterations[5].best.x, move.x);
    EXPECT_EQ(Iterations[5].best.y, move.y);
}

TEST_F(Turn, AnswerAtOnceIsOneWholeIteration) {
    putLine(8, 8, 1, 1, "OXO");
    ManagerLimitMs = 0;
    const cellpos move = turnOn(snapshot());
    expectPlayable(move);
    EXPECT_EQ(IterationCount, 1);
    EXPECT_TRUE(Iterations[0].complete);
}

TEST_F(Turn, ManagerLimitBelowTheCapTakesOver) {
    TimeLimitMs = 4500;
    ManagerLimitMs = 900;
    EXPECT_EQ(turnLimitMs(), 900);
    ManagerLimitMs = 9000;
    EXPECT_EQ(turnLimitMs(), 4500);
    ManagerLimitMs = -1;
    EXPECT_EQ(turnLimitMs(), 4500);
    TimeLimitMs = -1;
    EXPECT_EQ(turnLimitMs(), -1);
}

// Every line of five cells holds exactly one O: no window belongs to one
// side, every cell scores 0 and the list is in descending cell order, with
// the only free cells far down it.
BoardCopy crowdedBoard() {
    BoardCopy stones{};
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) stones[x][y] = ((y - 2 * x) % 5 + 5) % 5 == 0 ? O : X;
    for (const cellpos c : {cellpos{0, 1}, cellpos{2, 3}, cellpos{4, 0}, cellpos{5, 9}}) stones[c.x][c.y] = 0;
    return stones;
}

TEST_F(Turn, FallbackGoesOnDownACrowdedList) {
    const BoardCopy stones = crowdedBoard();
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) board[x][y] = stones[x][y];
    init();
    onemove list[CellCount];
    SortMoves(X, list);
    for (int i = 0; i < 255; ++i) ASSERT_NE(board[list[i].x][list[i].y], 0) << "entry " << i;

    // Cut before the first root move: no move of the search's own.
    ClockSource = fakeClock;
    fakeNow = 0;
    TimeLimitMs = 0;
    cellpos move = turnOn(stones);
    EXPECT_EQ(move.x, 5);
    EXPECT_EQ(move.y, 9);

    setCellClosed(5, 9, true);
    fakeNow = 0;
    move = turnOn(stones);
    EXPECT_EQ(move.x, 4);
    EXPECT_EQ(move.y, 0);
}

TEST_F(Turn, ClosedCellsAreNeverPlayed) {
    // Morrow's four can only be completed on (4, 9): closed, it is not a four.
    putLine(0, 9, 1, 0, "XXXX");
    putLine(6, 6, 1, 1, "OO-O");
    setCellClosed(4, 9, true);
    openPlayingArea(15, 15);
    setCellClosed(4, 9, true);
    const cellpos move = turnOn(snapshot());
    expectPlayable(move);
    EXPECT_LT(move.x, 15);
    EXPECT_LT(move.y, 15);
}

TEST_F(Turn, TurnWithoutTablesStillAnswers) {
    HashAllocate = [](std::size_t, std::size_t) -> void* { return nullptr; };
    releaseHashTables();
    putLine(8, 8, 1, 1, "OXO");
    putLine(9, 7, 0, 1, "X-O");
    const cellpos move = turnOn(snapshot());
    EXPECT_EQ(hashp[0], nullptr);
    expectPlayable(move);
    EXPECT_EQ(IterationCount, 4);
}

// What a deep turn may spend, for a handful of the managers' clocks.
TEST(DeepPlan, BudgetFollowsTheClock) {
    const auto plan = [](bool given, long long turn, long long match, long long left, int stones) {
        const deep::TurnBudget b = deep::planTurn({given, turn, match, left, stones});
        return std::make_pair(b.softMs, b.hardMs);
    };
    using P = std::pair<long long, long long>;
    EXPECT_EQ(plan(false, 30000, 1000000000, 1000000000, 0), P(4500, 4500)) << "no time INFO: the engine's cap";
    EXPECT_EQ(plan(true, 0, 0, 2147483647, 10), P(0, 0)) << "timeout_turn 0: answer at once";
    EXPECT_EQ(plan(true, 1000, 0, 2147483647, 10), P(820, 820)) << "a turn clock alone: all of it";
    // The tournament's fast game: 5 s a turn, 120 s a match.
    EXPECT_EQ(plan(true, 5000, 120000, 120000, 3), P(4420, 4420));
    EXPECT_EQ(plan(true, 5000, 120000, 40000, 60), P(3636, 4420));
    // Long leagues may think past 4.5 s.
    EXPECT_EQ(plan(true, 30000, 1000000, 900000, 20), P(26920, 26920));
    // Little match time left: a small share, never more than a quarter of it.
    EXPECT_EQ(plan(true, 30000, 180000, 3000, 40), P(187, 595));
    EXPECT_EQ(plan(true, 5000, 120000, -20, 40), P(0, 0)) << "a clock run out: answer at once";
}

// Deep turns over positions crowded with stones and blocked cells still
// answer a free, open cell, cut by nodes or searched through.
TEST_F(Turn, DeepTurnAnswersAFreeCell) {
    std::mt19937 rng(16);
    for (int trial = 0; trial < 12; ++trial) {
        resetPosition();
        for (const Stone& s : randomPattern(rng, 9, 80)) put(s.x + 3, s.y + 3, s.side);
        for (int i = 0; i < 6; ++i) {
            const int x = 3 + static_cast<int>(rng() % 9), y = 3 + static_cast<int>(rng() % 9);
            if (board[x][y] == 0) setCellClosed(x, y, true);
        }
        const BoardCopy stones = snapshot();
        DepthLimit = 10;
        NodeLimit = trial % 2 ? 3000 : 0;
        resetRandom();
        const cellpos move = turnOn(stones);
        EXPECT_EQ(board[move.x][move.y], 0) << "trial " << trial;
        EXPECT_FALSE(Closed[move.x][move.y]) << "trial " << trial;
    }
}

// With the clock nearly out a deep turn answers at once: its threat
// searches too stay small, even where the threats are many.
TEST_F(Turn, DeepAnswerAtOnceSearchesLittle) {
    putAll({{10, 8, X}, {10, 10, X}, {11, 11, X}, {9, 10, X}, {7, 8, X}, {7, 9, X}, {6, 9, X}, {9, 7, X},
            {11, 8, X}, {8, 10, O}, {6, 8, O}, {9, 9, O}, {6, 7, O}, {7, 7, O}, {8, 8, O}, {4, 8, O},
            {7, 6, O}, {7, 10, O}});
    DepthLimit = MaxSearchDepth;
    DeepTurnBudget = {0, 0};
    expectPlayable(turnOn(snapshot()));
    DeepTurnBudget = {-1, -1};
    EXPECT_LT(Nodes, 30000);
}

}  // namespace
}  // namespace morrow_test
