// Threat search: VCF against the default engine's, its wins followed up
// move by move, renju white's four whose block is a foul, and VCT.
#include <cstring>
#include <random>

#include "deep_helpers.h"
#include "engine/engine.h"

namespace deep_test {
namespace {

// After a claimed win by fours, the first four and its forced block leave
// the attacker a win by fours again (or an unstoppable threat).
void expectWinHoldsUp(Position& pos, ThreatSearch& threats, int move, int depth = 0) {
    ASSERT_GE(move, 0);
    const int me = pos.sideToMove();
    int cells[2];
    if (fiveCellsOf(pos, me, cells, 1)) return;
    ASSERT_GE(pos.threat(move, me), MakesFour) << "a win by fours moves fours only";
    if (pos.threat(move, me) == MakesOpenFour) return;
    pos.play(move);
    const int blocks = fiveCellsOf(pos, me, cells, 2);
    ASSERT_GE(blocks, 1);
    if (blocks == 1 && pos.mayPlay(cells[0], pos.sideToMove())) {
        pos.play(cells[0]);
        const int next = threats.findVcf(pos, 40, 1000000);
        EXPECT_GE(next, 0) << "the win fell apart " << depth << " fours in";
        if (next >= 0) expectWinHoldsUp(pos, threats, next, depth + 1);
        pos.undo();
    }
    pos.undo();
}

TEST(DeepThreats, VcfFindsEveryWinTheDefaultEngineFinds) {
    std::mt19937 rng(99);
    ThreatSearch threats;
    int wins = 0, checked = 0;
    for (int trial = 0; trial < 400; ++trial) {
        auto pos = emptyPosition(deep::Rule::Freestyle, 20);
        std::memset(board, 0, sizeof board);
        openPlayingArea(20, 20);
        init();
        const int stones = 10 + static_cast<int>(rng() % 30);
        for (int i = 0; i < stones; ++i) {
            const int x = 6 + static_cast<int>(rng() % 8), y = 6 + static_cast<int>(rng() % 8);
            if (board[x][y] != 0) continue;
            const int side = i % 2;
            MakeMove(x, y, side == 0 ? MyStone : OpponentStone);
            pos->setStone(x, y, side);
        }
        if (check_over() || hasFour(OpponentStone)) continue;
        pos->setSideToMove(0);
        ++checked;
        const bool expected = vcf(0, MyStone, -1, -1);
        const int move = threats.findVcf(*pos, 40, 1000000);
        if (expected) {
            ++wins;
            EXPECT_GE(move, 0) << "trial " << trial;
        }
        if (move >= 0) expectWinHoldsUp(*pos, threats, move);
    }
    EXPECT_GT(wins, 20);
    EXPECT_GT(checked, 200);
    std::memset(board, 0, sizeof board);
    init();
}

// White's four can only be blocked on a double three of black's: a win
// under renju, nothing under free-style.
TEST(DeepThreats, RenjuWhiteWinsWithAFourBlackMayNotBlock) {
    const std::initializer_list<const char*> rows = {
        ".......",
        ".......",
        "...X.X.",
        "....XX.",
        "X.OOO*X",
    };
    auto renju = emptyPosition(deep::Rule::Renju);
    const int foul = draw(*renju, rows);
    ASSERT_EQ(renju->sideToMove(), 1);
    EXPECT_TRUE(renju->isFoul(foul));
    ThreatSearch threats;
    EXPECT_EQ(threats.findVcf(*renju, 20, 100000), slotOf(3 + 1, 3 + 4));

    auto free = emptyPosition(deep::Rule::Freestyle);
    draw(*free, rows);
    EXPECT_EQ(threats.findVcf(*free, 20, 100000), -1);
}

// Two open twos crossing at a free cell: a double three there wins,
// though no win by fours is on the board.
TEST(DeepThreats, VctFindsAWinThroughOpenThrees) {
    auto pos = emptyPosition(deep::Rule::Freestyle);
    draw(*pos, {
                   ".......O",
                   "..X.....",
                   "...X....",
                   "..XX....",
                   "......O.",
                   "........",
                   "O.......",
                   "....O...",
               });
    ThreatSearch threats;
    ASSERT_EQ(pos->sideToMove(), 0);
    EXPECT_EQ(threats.findVcf(*pos, 30, 100000), -1);
    const int win = threats.findVct(*pos, 4, 2000000);
    ASSERT_GE(win, 0);
    EXPECT_GE(pos->threat(win, 0), MakesThree);
    EXPECT_EQ(pos->threat(slotOf(3 + 4, 3 + 3), 0), MakesDoubleThree);
}

}  // namespace
}  // namespace deep_test
