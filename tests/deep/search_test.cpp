// The deep engine's turn: what it must play, what it may never play, and
// a node-limited turn that comes out the same every time.
#include <random>

#include "deep_helpers.h"

namespace deep_test {
namespace {

TEST(DeepSearch, PlaysTheFiveAndBlocksTheFour) {
    Engine engine;
    engine.setTableBytes(1 << 20);
    // X to move has a four, and so has O: X makes five.
    Engine::Move m = engine.think(turnFrom({"OXXXX.", "......", ".OOOO."}, 0), nodeLimit(20000));
    EXPECT_EQ(m.x, 3 + 5);
    EXPECT_EQ(m.y, 3);
    // O to move must block X's four (it has no five of its own).
    m = engine.think(turnFrom({"OXXXX.", "......", "..OOO.", ".....O"}, 1), nodeLimit(20000));
    EXPECT_EQ(m.x, 3 + 5);
    EXPECT_EQ(m.y, 3);
    // X to move, O threatens an open four: X answers the three, or wins first.
    m = engine.think(turnFrom({".......", ".X.X...", "..OOO..", ".X....."}, 0), nodeLimit(50000));
    EXPECT_TRUE(m.y == 3 + 2 && (m.x == 3 + 1 || m.x == 3 + 5 || m.x == 3 + 0 || m.x == 3 + 6)) << m.x << "," << m.y;
}

TEST(DeepSearch, RenjuBlackNeverPlaysAFoulAndBlockedCellsStayFree) {
    std::mt19937 rng(5);
    Engine engine;
    engine.setTableBytes(1 << 20);
    for (int trial = 0; trial < 12; ++trial) {
        TurnPosition turn;
        turn.width = turn.height = 15;
        turn.rule = Rule::Renju;
        turn.ownSide = 0;
        int own = 0, other = 0;
        for (int i = 0; i < 40; ++i) {
            const int x = 4 + static_cast<int>(rng() % 7), y = 4 + static_cast<int>(rng() % 7);
            if (turn.cell[x][y]) continue;
            turn.cell[x][y] = static_cast<std::uint8_t>(i % 7 == 6 ? 3 : own <= other ? 1 : 2);
            own += turn.cell[x][y] == 1;
            other += turn.cell[x][y] == 2;
        }
        if (own != other) continue;
        const Engine::Move m = engine.think(turn, nodeLimit(5000 + 3000 * trial));
        ASSERT_GE(m.x, 0);
        EXPECT_EQ(turn.cell[m.x][m.y], 0) << "trial " << trial;
        auto pos = std::make_unique<Position>();
        setUpPosition(*pos, turn);
        EXPECT_FALSE(pos->isFoul(slotOf(m.x, m.y))) << "trial " << trial;
    }
}

TEST(DeepSearch, NodeLimitedTurnsAreRepeatable) {
    const TurnPosition turn = turnFrom({"..O....", ".XXO...", "..XO...", "...X...", "....O.."}, 0);
    long long nodes[2];
    Engine::Move moves[2];
    for (int i = 0; i < 2; ++i) {
        Engine engine;
        engine.setTableBytes(1 << 20);
        moves[i] = engine.think(turn, nodeLimit(40000));
        nodes[i] = engine.search().nodes();
    }
    EXPECT_EQ(moves[0].x, moves[1].x);
    EXPECT_EQ(moves[0].y, moves[1].y);
    EXPECT_EQ(nodes[0], nodes[1]);
    EXPECT_GE(nodes[0], 40000);
}

// What YXNBEST and YXBLOCK rely on: each iteration ranks distinct moves,
// best first, none of them a cell to avoid, each line starting with its move.
TEST(DeepSearch, RanksDistinctMovesBestFirstAndKeepsOffAvoidedCells) {
    const TurnPosition turn = turnFrom({"..O....", ".XXO...", "..XO...", "...X...", "....O.."}, 0);
    struct Seen {
        int ranks[4] = {-1, -1, -1, -1};
        int values[4] = {};
        bool ordered = true, distinct = true, avoided = false, linesStart = true;
        SlotSet avoid;
    } seen;
    seen.avoid.clear();
    // X's two best shapes, taken away.
    seen.avoid.insert(slotOf(3 + 4, 3 + 4));
    seen.avoid.insert(slotOf(3 + 1, 3 + 0));
    SearchLimits limits = nodeLimit(60000);
    limits.multiPv = 3;
    limits.avoid = &seen.avoid;
    Engine engine;
    engine.setTableBytes(1 << 20);
    const Engine::Move m = engine.think(
        turn, limits,
        [](void* context, const IterationReport& r) {
            auto& s = *static_cast<Seen*>(context);
            if (r.kind != ReportKind::Ranked) return;
            s.ranks[r.rank] = r.move;
            s.values[r.rank] = r.value;
            s.avoided = s.avoided || s.avoid.contains(r.move);
            s.linesStart = s.linesStart && r.lineLength >= 1 && r.line[0] == r.move;
            if (r.rank == 3) {
                s.ordered = s.ordered && s.values[1] >= s.values[2] && s.values[2] >= s.values[3];
                s.distinct = s.distinct && s.ranks[1] != s.ranks[2] && s.ranks[2] != s.ranks[3] && s.ranks[1] != s.ranks[3];
            }
        },
        &seen);
    ASSERT_GE(seen.ranks[3], 0) << "no iteration ranked three moves";
    EXPECT_TRUE(seen.ordered);
    EXPECT_TRUE(seen.distinct);
    EXPECT_FALSE(seen.avoided);
    EXPECT_TRUE(seen.linesStart);
    EXPECT_FALSE(seen.avoid.contains(slotOf(m.x, m.y)));
}

}  // namespace
}  // namespace deep_test
