// The engine against the straightforward reference engine: every function
// the search relies on, and whole turns, must give identical results.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "reference/engine.h"

namespace {

struct Position {
    int stones[BoardSize][BoardSize] = {};
    bool closed[BoardSize][BoardSize] = {};
};

// A small deterministic generator of the test's own.
struct Dice {
    std::uint64_t state;
    explicit Dice(std::uint64_t seed) : state(seed * 2654435761u + 1) {}
    int below(int n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
    }
};

void load(const Position& p) {
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) {
            board[x][y] = 0;
            reference::board[x][y] = 0;
            Closed[x][y] = p.closed[x][y];
            reference::Closed[x][y] = p.closed[x][y];
        }
    init();
    reference::init();
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            if (p.stones[x][y] != 0) {
                MakeMove(x, y, p.stones[x][y]);
                reference::MakeMove(x, y, p.stones[x][y]);
            }
}

void reopenBoard() {
    Position empty;
    load(empty);
}

int stoneFor(int who) { return who == 0 ? MyStone : OpponentStone; }

Position scattered(Dice& dice) {
    Position p;
    const int count = dice.below(160);
    for (int i = 0; i < count; ++i) p.stones[dice.below(BoardSize)][dice.below(BoardSize)] = stoneFor(dice.below(2));
    return p;
}

// Short broken lines of one colour: positions full of twos, threes and fours.
Position lines(Dice& dice) {
    Position p;
    static const int dirs[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
    const int count = 2 + dice.below(14);
    for (int i = 0; i < count; ++i) {
        const int* d = dirs[dice.below(4)];
        int x = dice.below(BoardSize), y = dice.below(BoardSize);
        const int stone = stoneFor(dice.below(2));
        const int length = 2 + dice.below(4);
        for (int l = 0; l < length; ++l, x += d[0], y += d[1]) {
            if (x < 0 || y < 0 || x >= BoardSize || y >= BoardSize) break;
            if (dice.below(5) != 0) p.stones[x][y] = stone;
        }
    }
    return p;
}

// A game-like position: both sides pick among the best few ordered cells.
Position played(Dice& dice) {
    Position p;
    const int centre = 6 + dice.below(8);
    p.stones[centre][6 + dice.below(8)] = OpponentStone;
    load(p);
    const int moves = dice.below(60);
    int side = MyStone;
    for (int m = 0; m < moves && !check_over(); ++m) {
        onemove list[CellCount];
        SortMoves(side, list);
        int count = 0;
        for (const onemove& m : list)
            if (board[m.x][m.y] == 0 && NearCount[m.x * BoardSize + m.y] > 0) list[count++] = m;
        if (count == 0) break;
        const onemove& pick = list[dice.below(count < 3 ? count : 3)];
        MakeMove(pick.x, pick.y, side);
        p.stones[pick.x][pick.y] = side;
        side = otherSide(side);
    }
    return p;
}

void closeSome(Dice& dice, Position& p) {
    const int w = 5 + dice.below(16), h = 5 + dice.below(16);
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) {
            p.closed[x][y] = x >= w || y >= h || (p.stones[x][y] == 0 && dice.below(30) == 0);
            if (p.closed[x][y]) p.stones[x][y] = 0;
        }
}

Position makePosition(int kind, Dice& dice) {
    Position p = kind == 0 ? scattered(dice) : kind == 1 ? lines(dice) : played(dice);
    if (dice.below(4) == 0) closeSome(dice, p);
    return p;
}

std::string describe(const Position& p) {
    std::string text;
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            if (p.stones[x][y] != 0 || p.closed[x][y])
                text += std::to_string(x) + "," + std::to_string(y) + "," +
                        (p.closed[x][y] ? "3" : p.stones[x][y] == MyStone ? "1" : "2") + " ";
    return text;
}

bool boardsEqual() { return std::memcmp(board, reference::board, sizeof board) == 0; }

void expectSameLists(int side) {
    onemove fast[CellCount];
    reference::onemove slow[CellCount];
    SortMoves(side, fast);
    reference::SortMoves(side, slow);
    for (int i = 0; i < CellCount; ++i) {
        ASSERT_EQ(fast[i].x, slow[i].x) << "side " << side << " entry " << i;
        ASSERT_EQ(fast[i].y, slow[i].y) << "side " << side << " entry " << i;
        ASSERT_EQ(fast[i].value, slow[i].value) << "side " << side << " entry " << i;
    }
}

// The lazily ordered candidates of a search node are the free cells near a
// stone, in the order of the full list.
void expectCandidatesInListOrder(int side) {
    reference::onemove slow[CellCount];
    reference::SortMoves(side, slow);
    int keys[CandidateKeyCount];
    CandidateKeys(side, keys);
    int taken = 0;
    for (const reference::onemove& m : slow) {
        if (board[m.x][m.y] != 0 || Closed[m.x][m.y] || NearCount[m.x * BoardSize + m.y] == 0) continue;
        ASSERT_EQ(TakeBestCandidate(keys), m.x * BoardSize + m.y) << "candidate " << ++taken;
    }
    ASSERT_EQ(TakeBestCandidate(keys), -1);
}

void expectSameVcf(int depth, int side, int lastX, int lastY) {
    int before[BoardSize][BoardSize];
    std::memcpy(before, board, sizeof board);
    vcfBestMove = {7, 13};
    HaveVcfBestMove = false;
    reference::vcfBestMove = {7, 13};
    reference::HaveVcfBestMove = false;
    const bool fast = vcf(depth, side, lastX, lastY);
    const bool slow = reference::vcf(depth, side, lastX, lastY);
    ASSERT_EQ(fast, slow) << "vcf(" << depth << ", " << side << ", " << lastX << ", " << lastY << ")";
    ASSERT_EQ(vcfBestMove.x, reference::vcfBestMove.x);
    ASSERT_EQ(vcfBestMove.y, reference::vcfBestMove.y);
    ASSERT_EQ(HaveVcfBestMove, reference::HaveVcfBestMove);
    ASSERT_EQ(std::memcmp(before, board, sizeof board), 0) << "vcf left a trial stone";
    ASSERT_TRUE(boardsEqual());
}

void expectSameFunctions(Dice& dice) {
    ASSERT_EQ(check_over(), reference::check_over());
    for (int side : {MyStone, OpponentStone}) {
        ASSERT_EQ(evaluate(side), reference::evaluate(side)) << "side " << side;
        ASSERT_EQ(hasFour(side), reference::hasFour(side)) << "side " << side;
        expectSameLists(side);
        expectCandidatesInListOrder(side);
        if (check_over()) continue;
        expectSameVcf(0, side, -1, -1);
        const int x = dice.below(BoardSize), y = dice.below(BoardSize);
        expectSameVcf(1 + dice.below(7), side, x, y);
        // vcf must leave the line state as it found it.
        ASSERT_EQ(evaluate(side), reference::evaluate(side)) << "after vcf, side " << side;
        ASSERT_EQ(hasFour(otherSide(side)), reference::hasFour(otherSide(side)));
    }
}

class Differential : public ::testing::Test {
protected:
    void TearDown() override {
        reopenBoard();
        TimeLimitMs = 4500;
        reference::TimeLimitMs = 4500;
        releaseHashTables();
        reference::releaseHashTables();
    }
};

TEST_F(Differential, FunctionsAgreeOnThousandsOfPositions) {
    Dice dice(1);
    for (int n = 0; n < 3000; ++n) {
        const Position p = makePosition(n % 3, dice);
        load(p);
        SCOPED_TRACE(describe(p));
        expectSameFunctions(dice);
        if (HasFatalFailure()) return;
    }
}

// Boards crowded with broken lines of both colours, where four moves,
// blocks that make fours and the locality rule decide at every depth.
TEST_F(Differential, VcfAgreesAtEveryDepthOnThreatRichBoards) {
    Dice dice(3);
    int checked = 0, quiet = 0, won = 0;
    while (checked < 1500) {
        Position p = lines(dice);
        const int overlays = dice.below(3);
        for (int extra = 0; extra < overlays; ++extra) {
            const Position more = lines(dice);
            for (int x = 0; x < BoardSize; ++x)
                for (int y = 0; y < BoardSize; ++y)
                    if (more.stones[x][y] != 0) p.stones[x][y] = more.stones[x][y];
        }
        if (dice.below(5) == 0) closeSome(dice, p);
        load(p);
        if (check_over()) continue;
        // Mostly boards where neither side has a four yet, so that the
        // search has to find its fours.
        const bool fours = hasFour(MyStone) || hasFour(OpponentStone);
        if (fours && dice.below(4) != 0) continue;
        ++checked;
        quiet += !fours;
        SCOPED_TRACE(describe(p));
        for (int side : {MyStone, OpponentStone})
            for (int depth = 0; depth <= 7; ++depth) {
                expectSameVcf(depth, side, -1, -1);
                expectSameVcf(depth, side, dice.below(BoardSize), dice.below(BoardSize));
                if (HasFatalFailure()) return;
                won += vcf(depth, side, -1, -1);
            }
    }
    // The boards must really exercise the search, not only its first check.
    EXPECT_GT(quiet, 1000);
    EXPECT_GT(won, 1000);
}

// Moves made and unmade in any order keep the incremental state equal to a
// fresh count.
TEST_F(Differential, FunctionsAgreeAlongMakeAndUnmake) {
    Dice dice(2);
    for (int game = 0; game < 40; ++game) {
        Position p = makePosition(game % 3, dice);
        load(p);
        std::vector<cellpos> made;
        std::vector<int> sides;
        for (int step = 0; step < 60; ++step) {
            if (!made.empty() && dice.below(3) == 0) {
                const cellpos c = made.back();
                unMakeMove(c.x, c.y, sides.back());
                reference::unMakeMove(c.x, c.y, sides.back());
                made.pop_back();
                sides.pop_back();
            } else {
                const int x = dice.below(BoardSize), y = dice.below(BoardSize);
                if (board[x][y] != 0 || Closed[x][y]) continue;
                const int side = stoneFor(dice.below(2));
                MakeMove(x, y, side);
                reference::MakeMove(x, y, side);
                made.push_back({x, y});
                sides.push_back(side);
            }
            SCOPED_TRACE("game " + std::to_string(game) + " step " + std::to_string(step));
            expectSameFunctions(dice);
            if (HasFatalFailure()) return;
        }
    }
}

void advanceGenerators(int draws) {
    resetRandom();
    reference::resetRandom();
    for (int i = 0; i < draws; ++i) {
        nextRandom();
        reference::nextRandom();
    }
}

void expectSameTurn(const Position& p, int draws) {
    load(p);
    advanceGenerators(draws);
    TimeLimitMs = -1;
    reference::TimeLimitMs = -1;
    ManagerLimitMs = -1;
    reference::ManagerLimitMs = -1;
    const cellpos fast = run();
    const reference::cellpos slow = reference::run();
    EXPECT_EQ(fast.x, slow.x);
    EXPECT_EQ(fast.y, slow.y);
    ASSERT_EQ(IterationCount, reference::IterationCount);
    for (int i = 0; i < IterationCount; ++i) {
        EXPECT_EQ(Iterations[i].value, reference::Iterations[i].value) << "iteration " << i + 1;
        EXPECT_EQ(Iterations[i].nodes, reference::Iterations[i].nodes) << "iteration " << i + 1;
    }
    EXPECT_TRUE(boardsEqual());
    EXPECT_EQ(nextRandom(), reference::nextRandom());
}

// Positions from a game the engine plays against itself, colours swapped
// between turns so that it always moves as side 1.
std::vector<Position> selfPlayedPositions(int seed, int turns) {
    Dice dice(static_cast<std::uint64_t>(seed));
    Position p;
    p.stones[5 + dice.below(10)][5 + dice.below(10)] = OpponentStone;
    p.stones[5 + dice.below(10)][5 + dice.below(10)] = MyStone;
    std::vector<Position> positions;
    TimeLimitMs = -1;
    for (int t = 0; t < turns; ++t) {
        load(p);
        if (check_over()) break;
        positions.push_back(p);
        const cellpos move = run();
        if (board[move.x][move.y] != 0) break;
        p.stones[move.x][move.y] = MyStone;
        for (auto& column : p.stones)
            for (int& cell : column) cell = cell == MyStone ? OpponentStone : cell == OpponentStone ? MyStone : 0;
    }
    return positions;
}

TEST_F(Differential, WholeTurnsAgreeOnSelfPlayedGames) {
    int draws = 0;
    for (int seed = 1; seed <= 3; ++seed)
        for (const Position& p : selfPlayedPositions(seed, 8)) {
            SCOPED_TRACE(describe(p));
            expectSameTurn(p, draws);
            draws = (draws + 1237) % 9000;
        }
}

TEST_F(Differential, WholeTurnsAgreeOnThreatsAndSmallBoards) {
    Dice dice(5);
    for (int n = 0; n < 24; ++n) {
        Position p = n % 2 ? lines(dice) : played(dice);
        if (n % 3 == 0) closeSome(dice, p);
        load(p);
        if (check_over()) continue;
        SCOPED_TRACE(describe(p));
        expectSameTurn(p, 4000 * (n % 4));
    }
}

}  // namespace
