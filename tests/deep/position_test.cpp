// The board of line shapes: incremental updates against a rebuild, and
// renju fouls against the default engine's rules, which agree with the
// referee's.
#include <cstring>
#include <random>
#include <vector>

#include "deep_helpers.h"
#include "engine/engine.h"

namespace deep_test {
namespace {

// Five or more stones of one colour in a row on the default engine's board.
bool fiveOnBoard() {
    const int steps[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) {
            if (board[x][y] == 0) continue;
            for (const auto& s : steps) {
                int n = 1;
                for (int cx = x + s[0], cy = y + s[1];
                     cx >= 0 && cy >= 0 && cx < BoardSize && cy < BoardSize && board[cx][cy] == board[x][y];
                     cx += s[0], cy += s[1])
                    ++n;
                if (n >= 5) return true;
            }
        }
    return false;
}

TEST(DeepPosition, IncrementalStateMatchesARebuild) {
    for (const deep::Rule rule : {deep::Rule::Freestyle, deep::Rule::Standard, deep::Rule::Renju, deep::Rule::Caro}) {
        std::mt19937 rng(7 + static_cast<int>(rule));
        for (int game = 0; game < 6; ++game) {
            const int size = game % 2 ? 15 : 20;
            auto pos = emptyPosition(rule, size);
            for (int i = 0; i < 6; ++i) pos->block(static_cast<int>(rng() % size), static_cast<int>(rng() % size));
            const std::uint64_t emptyHash = pos->hash();
            std::vector<int> played;
            for (int ply = 0; ply < 90; ++ply) {
                // Mostly near the stones, where shapes change the most.
                int slot;
                do {
                    slot = slotOf(static_cast<int>(rng() % size), static_cast<int>(rng() % size));
                } while (!pos->isEmpty(slot) || (ply > 3 && !pos->isCandidate(slot) && rng() % 4));
                pos->play(slot);
                played.push_back(slot);
                if (rng() % 5 == 0) {
                    pos->undo();
                    played.pop_back();
                }
                // A foul test plays and takes back stones of its own.
                if (rule == deep::Rule::Renju && slot % 3 == 0) {
                    pos->candidates().forEach([&](int s) { (void)pos->isFoul(s); });
                }
                ASSERT_TRUE(pos->consistent()) << "rule " << static_cast<int>(rule) << " game " << game << " ply " << ply;
            }
            while (!played.empty()) {
                pos->undo();
                played.pop_back();
            }
            EXPECT_EQ(pos->hash(), emptyHash);
            EXPECT_TRUE(pos->consistent());
        }
    }
}

// Dense random 15 x 15 positions: every empty cell's verdict agrees with
// the default engine's foul test, which was checked cell by cell against
// the renju referee.
TEST(DeepPosition, RenjuFoulsAgreeWithTheDefaultEngine) {
    std::mt19937 rng(2024);
    int fouls = 0;
    for (int trial = 0; trial < 300; ++trial) {
        auto pos = emptyPosition(deep::Rule::Renju, 15);
        std::memset(board, 0, sizeof board);
        openPlayingArea(15, 15);
        // Black stones as side 1 of the default engine.
        const int percent = 20 + static_cast<int>(rng() % 25);
        for (int x = 0; x < 15; ++x)
            for (int y = 0; y < 15; ++y) {
                if (static_cast<int>(rng() % 100) >= percent) continue;
                const int side = static_cast<int>(rng() % 2);
                pos->setStone(x, y, side);
                board[x][y] = side == 0 ? MyStone : OpponentStone;
            }
        setGameRule(GameRule::Renju, 0);
        if (fiveOnBoard()) continue;
        for (int x = 0; x < 15; ++x)
            for (int y = 0; y < 15; ++y) {
                if (board[x][y] != 0) continue;
                const bool expected = foulAt(x, y) != Foul::None;
                fouls += expected;
                ASSERT_EQ(pos->isFoul(slotOf(x, y)), expected) << "trial " << trial << " cell " << x << "," << y;
                ASSERT_FALSE(pos->mayPlay(slotOf(x, y), 0) == expected);
            }
    }
    EXPECT_GT(fouls, 300) << "the positions hold fouls of every kind";
    std::memset(board, 0, sizeof board);
    openPlayingArea(BoardSize, BoardSize);
    setGameRule(GameRule::FreeStyle, 0);
}

}  // namespace
}  // namespace deep_test
