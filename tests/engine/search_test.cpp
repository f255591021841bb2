// alphabeta: what the node procedure must leave behind and what it may
// never search.
#include <cstring>

#include "position_helpers.h"

namespace morrow_test {
namespace {

class Search : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        resetRandom();
        initRandomkey();
        nowhash = 0;
        clearRootMemory();
        timeup = false;
        ActiveLimitMs = -1;
        HaveBestMove = false;
        HaveVcfBestMove = false;
    }
    void TearDown() override {
        ActiveLimitMs = -1;
        releaseHashTables();
        EngineTest::TearDown();
    }

    // Replays the board as a turn does, with the keys drawn above.
    void replay() {
        const BoardCopy stones = snapshot();
        init();
        nowhash = 0;
        for (int x = 0; x < BoardSize; ++x)
            for (int y = 0; y < BoardSize; ++y)
                if (stones[x][y] != 0) MakeMove(x, y, stones[x][y]);
    }

    int searchRoot(int depth, int side) {
        MaxDepth = depth;
        Nodes = 0;
        return alphabeta(depth, -WinScore, WinScore, side);
    }
};

TEST_F(Search, LeavesBoardCountsAndKeyAsItFoundThem) {
    putLine(6, 6, 1, 1, "XOX-O");
    putLine(9, 4, 0, 1, "OXXO-X");
    putLine(12, 8, 1, 0, "X-OO");
    replay();
    const BoardCopy before = snapshot();
    int winBefore[2][FiveWindowCount];
    std::memcpy(winBefore, Win, sizeof Win);
    const std::uint64_t keyBefore = nowhash;
    const int valueBefore = evaluate(X);

    for (int depth = 1; depth <= 3; ++depth) searchRoot(depth, depth % 2 ? X : O);

    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(std::memcmp(winBefore, Win, sizeof Win), 0);
    EXPECT_EQ(nowhash, keyBefore);
    EXPECT_EQ(evaluate(X), valueBefore);
}

// One stone: only the 24 cells of its 5 x 5 box are ever tried, and the
// root remembers each of them.
TEST_F(Search, TriesOnlyCellsWithAStoneWithinTwo) {
    put(10, 10, O);
    replay();
    searchRoot(1, X);
    EXPECT_EQ(Nodes, 1 + 24);
    int remembered = 0;
    for (const onemove& m : maxDlastGMoves) {
        if (m.x == -1) continue;
        ++remembered;
        EXPECT_LE(std::abs(m.x - 10), 2);
        EXPECT_LE(std::abs(m.y - 10), 2);
    }
    EXPECT_EQ(remembered, 24);
}

TEST_F(Search, BoxIsClippedAtTheEdge) {
    put(0, 0, O);
    replay();
    searchRoot(1, X);
    EXPECT_EQ(Nodes, 1 + 8);
}

// A five on the board ends the game: evaluate answers at once, at any depth.
TEST_F(Search, FiveOnTheBoardIsScoredByEvaluate) {
    putLine(3, 5, 1, 0, "OOOOO");
    put(10, 10, X);
    replay();
    MaxDepth = 4;
    Nodes = 0;
    EXPECT_EQ(alphabeta(3, -WinScore, WinScore, X), -WinScore);
    EXPECT_EQ(alphabeta(2, -WinScore, WinScore, O), WinScore);
    EXPECT_EQ(Nodes, 2);
}

// The only move that stops the opponent's four is the corner: the search
// must report it as a move, not as "no move".
TEST_F(Search, CornerFoundByTheSearchIsAMove) {
    putLine(1, 1, 1, 1, "OOOOX");
    put(10, 3, X);
    put(12, 14, O);
    replay();
    searchRoot(1, X);
    ASSERT_TRUE(HaveBestMove);
    EXPECT_EQ(BestMove.x, 0);
    EXPECT_EQ(BestMove.y, 0);
}

// A VCF at the root: the first four move of the win is the best move.
TEST_F(Search, RootVcfGivesItsFirstFourMove) {
    // (10,9) would make two fours at once: the fours that lead there win.
    putLine(10, 6, 0, 1, "XXX");
    putLine(7, 9, 1, 0, "XXX");
    put(0, 19, O);
    put(19, 0, O);
    put(19, 19, O);
    replay();
    ASSERT_FALSE(hasFour(X));
    EXPECT_EQ(searchRoot(1, X), WinScore);
    ASSERT_TRUE(HaveBestMove);
    EXPECT_EQ(Nodes, 1);
    EXPECT_TRUE(vcf(0, X, -1, -1));
    EXPECT_EQ(BestMove.x, vcfBestMove.x);
    EXPECT_EQ(BestMove.y, vcfBestMove.y);
}

long long clockReads;
long long countingClock() { return clockReads++; }

// A VCF search long enough to read the clock (a few hundred calls before it
// finds its win): cut by the clock, it gives up and leaves the board and the
// line state as they were.
TEST_F(Search, VcfGivesUpWhenTheTimeIsUp) {
    putAll({{0, 13, X},  {0, 15, O},  {0, 17, X},  {1, 7, O},   {1, 12, X},  {1, 15, X},  {1, 16, X},
            {2, 1, O},   {2, 15, X},  {3, 3, X},   {3, 15, X},  {4, 3, X},   {5, 6, O},   {7, 6, O},
            {7, 14, O},  {9, 3, X},   {9, 4, X},   {11, 0, X},  {11, 16, X}, {11, 17, X}, {12, 14, O},
            {14, 12, O}, {15, 0, O},  {16, 5, O},  {16, 6, X},  {17, 6, X},  {17, 10, X}, {18, 6, X},
            {18, 9, X},  {18, 19, X}, {19, 5, O},  {19, 8, X},  {19, 12, X}, {19, 19, X}});
    ASSERT_FALSE(hasFour(X) || hasFour(O));
    long long (*savedClock)() = ClockSource;
    ClockSource = countingClock;
    const BoardCopy before = snapshot();

    start_t = 0;
    clockReads = 1;
    ActiveLimitMs = 1000000;
    EXPECT_TRUE(vcf(0, X, -1, -1));
    EXPECT_FALSE(timeup);
    EXPECT_GE(clockReads, 3) << "the search must be long enough to read the clock";

    start_t = 0;
    clockReads = 1;
    ActiveLimitMs = 0;
    EXPECT_FALSE(vcf(0, X, -1, -1));
    EXPECT_TRUE(timeup);
    EXPECT_EQ(snapshot(), before);

    timeup = false;
    ActiveLimitMs = -1;
    EXPECT_TRUE(vcf(0, X, -1, -1)) << "the line state must be whole after the cut";
    ClockSource = savedClock;
}

}  // namespace
}  // namespace morrow_test
