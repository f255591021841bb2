// Moves of the real executable: turn handling, tactics, board sizes and
// whole games against a scripted opponent.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace morrow::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string cell(const Move& m) { return std::to_string(m.first) + "," + std::to_string(m.second); }

// Stones spread over the board with no line between them: plenty of
// candidate moves and nothing forcing, so the engine thinks for long.
const std::vector<Stone> BusyPosition = {
    {2, 3, 1},   {5, 15, 2},  {8, 7, 1},  {12, 2, 2}, {15, 11, 1}, {17, 17, 2}, {3, 10, 1},  {10, 14, 2},
    {14, 5, 1},  {6, 1, 2},   {1, 17, 1}, {18, 8, 2}, {11, 11, 1}, {7, 18, 2},  {16, 1, 1},
};

class Game {
public:
    Game(int width, int height) : width_(width), height_(height), cells_(static_cast<std::size_t>(width * height)) {}

    bool onBoard(const Move& m) const { return m.first >= 0 && m.second >= 0 && m.first < width_ && m.second < height_; }
    bool isFree(const Move& m) const { return onBoard(m) && at(m.first, m.second) == 0; }
    int at(int x, int y) const { return cells_[static_cast<std::size_t>(x * height_ + y)]; }
    void put(const Move& m, int who) { cells_[static_cast<std::size_t>(m.first * height_ + m.second)] = who; }
    int width() const { return width_; }
    int height() const { return height_; }

    bool hasFive(int who) const {
        constexpr int Directions[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
        for (int x = 0; x < width_; ++x)
            for (int y = 0; y < height_; ++y)
                for (const auto& d : Directions) {
                    int run = 0;
                    for (int cx = x, cy = y; run < 5 && onBoard({cx, cy}) && at(cx, cy) == who; cx += d[0], cy += d[1])
                        ++run;
                    if (run == 5) return true;
                }
        return false;
    }

    // Chebyshev distance to the nearest stone of `who` (large when none).
    int distanceTo(const Move& m, int who) const {
        int best = 1000;
        for (int x = 0; x < width_; ++x)
            for (int y = 0; y < height_; ++y)
                if (at(x, y) == who) best = std::min(best, std::max(std::abs(x - m.first), std::abs(y - m.second)));
        return best;
    }

private:
    int width_, height_;
    std::vector<int> cells_;
};

// A harmless opponent: cells of a grid spaced 5 apart, so its stones never
// share a five-cell window, and at least 3 cells away from Morrow's stones.
// `preferred` cells go first when free.
Move trivialReply(const Game& game, const std::vector<Move>& preferred = {}) {
    for (const Move& m : preferred)
        if (game.isFree(m)) return m;
    for (int x = 0; x < game.width(); x += 5)
        for (int y = 0; y < game.height(); y += 5)
            if (game.isFree({x, y}) && game.distanceTo({x, y}, 1) >= 3) return {x, y};
    for (int x = 0; x < game.width(); ++x)
        for (int y = 0; y < game.height(); ++y)
            if (game.isFree({x, y}) && game.distanceTo({x, y}, 1) >= 3) return {x, y};
    for (int x = 0; x < game.width(); ++x)
        for (int y = 0; y < game.height(); ++y)
            if (game.isFree({x, y})) return {x, y};
    return {-1, -1};
}

class Play : public BrainTest {
protected:
    // Plays BEGIN and then TURN after TURN against trivialReply. Every
    // Morrow move must be a move line (no ERROR first) on a free cell of the
    // board. True when Morrow made five within `maxMoves` moves.
    bool playGame(Game& game, int maxMoves, const std::vector<Move>& preferred = {}, std::vector<Move>* played = nullptr) {
        send("BEGIN");
        for (int n = 0; n < maxMoves; ++n) {
            const std::optional<Move> m = move();
            if (!m) return false;
            EXPECT_TRUE(game.onBoard(*m)) << "move " << n << " off the " << game.width() << "x" << game.height()
                                          << " board: " << cell(*m);
            EXPECT_TRUE(game.isFree(*m) || !game.onBoard(*m)) << "move " << n << " on a taken cell: " << cell(*m);
            if (!game.isFree(*m)) return false;
            game.put(*m, 1);
            if (played) played->push_back(*m);
            if (game.hasFive(1)) return true;
            const Move reply = trivialReply(game, preferred);
            if (reply.first < 0) return false;
            game.put(reply, 2);
            if (game.hasFive(2)) {
                ADD_FAILURE() << "the scripted opponent made five";
                return false;
            }
            send("TURN " + cell(reply));
        }
        return false;
    }
};

TEST_F(Play, BeginOnAnEmptyBoardTakesTheLastCorner) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("BEGIN");
    EXPECT_EQ(reply(), "19,19");
    expectSilence();
    // The move is on the protocol's board too.
    send("PLAY 19,19");
    EXPECT_EQ(reply(), "ERROR my move [19,19]");
    EXPECT_EQ(reply(), "19,19");
}

TEST_F(Play, TurnBeforeStartSetsUpA20x20Game) {
    send("TURN 10,10");
    EXPECT_EQ(reply(), "OK");
    const std::optional<Move> m = move();
    ASSERT_TRUE(m);
    EXPECT_NE(*m, Move(10, 10));
    EXPECT_TRUE(Game(20, 20).onBoard(*m)) << cell(*m);
}

TEST_F(Play, EachTurnGetsExactlyOneMove) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    Game game(20, 20);
    game.put({10, 10}, 2);
    send("TURN 10,10");
    std::optional<Move> first = move();
    ASSERT_TRUE(first);
    EXPECT_TRUE(game.isFree(*first)) << cell(*first);
    game.put(*first, 1);
    expectSilence();

    game.put({2, 2}, 2);
    send("TURN 2,2");
    std::optional<Move> second = move();
    ASSERT_TRUE(second);
    EXPECT_TRUE(game.isFree(*second)) << cell(*second);
    expectSilence();
    sync();
}

// A command that changes the position waits until the move being searched
// has been written.
TEST_F(Play, TurnWhileThinkingWaitsForTheFirstMove) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard(BusyPosition);
    send("TURN 9,9");
    Game game(20, 20);
    for (const Stone& s : BusyPosition) game.put({s.x, s.y}, s.who);
    const std::optional<Move> first = move(Millis{30000});
    ASSERT_TRUE(first);
    EXPECT_TRUE(game.isFree(*first)) << cell(*first);
    game.put(*first, 1);
    // Had the engine taken (9,9) itself, the TURN reports it first.
    if (*first == Move(9, 9)) {
        EXPECT_EQ(reply(), "ERROR opponents's move [9,9]");
    }
    game.put({9, 9}, 2);
    const std::optional<Move> second = move(Millis{30000});
    ASSERT_TRUE(second);
    EXPECT_TRUE(game.isFree(*second)) << cell(*second);
    expectSilence();
}

TEST_F(Play, EndWhileThinkingStillWritesTheMove) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard(BusyPosition);
    send("END");
    EXPECT_TRUE(move(Millis{30000}));
    EXPECT_EQ(brain.waitExit(), std::optional<int>(0));
    EXPECT_EQ(brain.readLine(Millis{5000}), std::nullopt);
}

TEST_F(Play, EndOfInputWhileThinkingExitsAtOnce) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard(BusyPosition);
    brain.closeInput();
    EXPECT_EQ(brain.waitExit(), std::optional<int>(0));
}

// Replies from both threads come as whole lines, never mixed.
TEST_F(Play, AboutIsAnsweredWhileThinking) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard(BusyPosition);
    constexpr int Abouts = 20;
    for (int i = 0; i < Abouts; ++i) send("ABOUT");
    std::string about;
    int abouts = 0, moves = 0, aboutsBeforeMove = 0;
    for (int i = 0; i <= Abouts; ++i) {
        const std::string line = reply(Millis{30000});
        if (parseMove(line)) {
            ++moves;
        } else {
            EXPECT_EQ(line.rfind("name=\"Morrow\"", 0), 0u) << line;
            if (about.empty()) about = line;
            EXPECT_EQ(line, about);
            ++abouts;
            if (moves == 0) ++aboutsBeforeMove;
        }
    }
    EXPECT_EQ(abouts, Abouts);
    EXPECT_EQ(moves, 1);
    // Which comes first depends only on how fast the engine is.
    std::printf("%d of %d ABOUT replies came before the move\n", aboutsBeforeMove, Abouts);
}

// ---- tactics; who 1 is Morrow, 2 the opponent

TEST_F(Play, CompletesItsOwnFour) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    // Morrow's four on x = 5 is closed at (5,4); the opponent has an open three.
    sendBoard({{5, 5, 1}, {5, 6, 1}, {5, 7, 1}, {5, 8, 1}, {5, 4, 2}, {10, 10, 2}, {10, 11, 2}, {10, 12, 2}});
    EXPECT_EQ(reply(), "5,9");
}

TEST_F(Play, BlocksTheOpponentsFour) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    // Making its own four from the open three would lose to the opponent's five.
    sendBoard({{8, 8, 2}, {9, 8, 2}, {10, 8, 2}, {11, 8, 2}, {7, 8, 1}, {3, 14, 1}, {4, 14, 1}, {5, 14, 1}});
    EXPECT_EQ(reply(), "12,8");
}

// Morrow (X) has one three-window, 7..9 on row 10 closed by O at (6,10).
// Its only forced win: (10,10) four, block (11,10); (10,11) four on column
// 10, block (10,9) ((10,14) is O); (11,11) then makes an open four on row
// 11 with (12,11),(13,11). Starting with (11,10) gets blocked at (10,10) and
// leads nowhere. The opponent has an open three on column 3 but no four, so
// only a win by fours keeps Morrow ahead.
TEST_F(Play, PlaysTheFirstMoveOfAWinByFours) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard({{7, 10, 1}, {8, 10, 1}, {9, 10, 1}, {10, 12, 1}, {10, 13, 1}, {12, 11, 1}, {13, 11, 1},
               {6, 10, 2}, {10, 14, 2}, {3, 3, 2}, {3, 4, 2}, {3, 5, 2}, {15, 4, 2}, {16, 15, 2}});
    EXPECT_EQ(reply(), "10,10");
}

TEST_F(Play, StopsAnOpenThree) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    // O's open three on column 9; Morrow has no three of its own. Only
    // (9,6) and (9,10) keep O from an open four.
    sendBoard({{9, 7, 2}, {9, 8, 2}, {9, 9, 2}, {14, 16, 2}, {12, 12, 1}, {13, 10, 1}, {6, 14, 1}, {5, 5, 1}});
    const std::string line = reply();
    EXPECT_TRUE(line == "9,6" || line == "9,10") << line;
}

// The best cell is the corner (0,0), which must not be taken for "no move".
TEST_F(Play, PlaysAFiveInTheCorner) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard({{0, 1, 1}, {0, 2, 1}, {0, 3, 1}, {0, 4, 1}, {0, 5, 2}, {7, 7, 2}});
    EXPECT_EQ(reply(), "0,0");
}

// Here the opponent has fours too, all completed at (10,10), which therefore
// stands first in the move order: only the search finds that the five at
// (0,0) wins first, and its (0,0) must not be taken for "no move".
TEST_F(Play, PlaysAFiveInTheCornerAgainstFours) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard({{0, 1, 1},   {0, 2, 1},   {0, 3, 1},   {0, 4, 1},   {10, 5, 1},  {10, 15, 1},
               {15, 2, 1},  {17, 4, 1},  {2, 17, 1},  {0, 5, 2},   {10, 6, 2},  {10, 7, 2},
               {10, 8, 2},  {10, 9, 2},  {10, 11, 2}, {10, 12, 2}, {10, 13, 2}, {10, 14, 2}});
    EXPECT_EQ(reply(), "0,0");
}

// ---- blocked cells and board sizes

TEST_F(Play, NeverPlaysABlockedCell) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    // On an empty board Morrow would take (19,19).
    sendBoard({{19, 19, 3}});
    std::optional<Move> m = move();
    ASSERT_TRUE(m);
    EXPECT_NE(*m, Move(19, 19));
    sync();
}

TEST_F(Play, DoesNotCompleteAFourThroughABlockedCell) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    // The only cell that would make Morrow's five is blocked.
    const std::vector<Stone> position = {{5, 5, 1}, {5, 6, 1}, {5, 7, 1},  {5, 8, 1},  {5, 4, 2},
                                         {5, 9, 3}, {10, 10, 2}, {12, 3, 2}, {11, 10, 2}};
    sendBoard(position);
    const std::optional<Move> m = move();
    ASSERT_TRUE(m);
    Game game(20, 20);
    for (const Stone& s : position) game.put({s.x, s.y}, s.who);
    EXPECT_TRUE(game.isFree(*m)) << cell(*m);
    sync();
}

TEST_F(Play, BlockedCellsAroundAThreeAreNeverPlayed) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    // Every other cell around the stones is blocked, among them (9,6) and
    // (9,10), the cells that would stop O's three.
    std::vector<Stone> position = {{9, 7, 2}, {9, 8, 2}, {9, 9, 2}, {12, 12, 1}};
    Game game(20, 20);
    for (const Stone& s : position) game.put({s.x, s.y}, s.who);
    for (int x = 7; x <= 14; ++x)
        for (int y = 5; y <= 14; ++y)
            if (game.isFree({x, y}) && (x + y) % 2 == 1) {
                position.push_back({x, y, 3});
                game.put({x, y}, 3);
            }
    sendBoard(position);
    const std::optional<Move> m = move();
    ASSERT_TRUE(m);
    EXPECT_TRUE(game.isFree(*m)) << cell(*m);
    sync();
}

TEST_F(Play, AnswersInsideASmallBoard) {
    send("START 15");
    EXPECT_EQ(reply(), "OK");
    send("BEGIN");
    std::optional<Move> m = move();
    ASSERT_TRUE(m);
    EXPECT_TRUE(Game(15, 15).onBoard(*m)) << cell(*m);

    // On 20x20 (15,10) would make five; on 15x15 it is off the board.
    send("START 15");
    EXPECT_EQ(reply(), "OK");
    sendBoard({{11, 10, 1}, {12, 10, 1}, {13, 10, 1}, {14, 10, 1}, {10, 10, 2}, {3, 3, 2}, {6, 6, 2}});
    m = move(Millis{30000});
    ASSERT_TRUE(m);
    Game game(15, 15);
    for (const Stone& s : std::vector<Stone>{{11, 10, 1}, {12, 10, 1}, {13, 10, 1}, {14, 10, 1}, {10, 10, 2}, {3, 3, 2}, {6, 6, 2}})
        game.put({s.x, s.y}, s.who);
    EXPECT_TRUE(game.isFree(*m)) << cell(*m);
}

// ---- whole games

TEST_F(Play, BeatsATrivialOpponent) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    Game game(20, 20);
    EXPECT_TRUE(playGame(game, 30)) << "no five for Morrow";
    sync();
}

TEST_F(Play, GameOn15x15StaysOnTheBoard) {
    send("START 15");
    EXPECT_EQ(reply(), "OK");
    Game game(15, 15);
    EXPECT_TRUE(playGame(game, 40)) << "no five for Morrow";
    sync();
}

TEST_F(Play, GameOn20x12StaysOnTheBoard) {
    send("RECTSTART 20,12");
    EXPECT_EQ(reply(), "OK");
    Game game(20, 12);
    EXPECT_TRUE(playGame(game, 40)) << "no five for Morrow";
    sync();
}

// A match runner plays game after game in one process with START alone; the
// second game's opponent takes cells Morrow held in the first.
TEST_F(Play, SecondGameStartsFromAnEmptyBoard) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    Game first(20, 20);
    std::vector<Move> firstMoves;
    EXPECT_TRUE(playGame(first, 30, {}, &firstMoves));
    ASSERT_GE(firstMoves.size(), 4u);

    send("START 20");
    EXPECT_EQ(reply(), "OK");
    Game second(20, 20);
    std::vector<Move> preferred(firstMoves.begin() + 1, firstMoves.begin() + std::min<std::size_t>(firstMoves.size(), 4));
    playGame(second, 12, preferred);
    EXPECT_FALSE(HasFailure());
    sync();
}

// ---- the clock

TEST_F(Play, ShortTurnLimitStillAnswers) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("INFO timeout_turn 1000");
    const auto started = Clock::now();
    sendBoard(BusyPosition);
    const std::optional<Move> m = move(Millis{10000});
    const auto ms = std::chrono::duration_cast<Millis>(Clock::now() - started).count();
    ASSERT_TRUE(m);
    std::printf("move after %lld ms with timeout_turn 1000\n", static_cast<long long>(ms));
    RecordProperty("move_ms", std::to_string(ms));
}

// ---- extensions: max_depth, max_node, show_detail, STOP

// The MESSAGE lines of one turn and its move.
struct Detail {
    std::vector<std::string> lines;
    std::optional<Move> move;
};

Detail readDetail(BrainProcess& brain) {
    Detail d;
    for (;;) {
        const std::optional<std::string> line = brain.readLine();
        if (!line) return d;
        // What an analysis board shows as the search runs comes with show_detail too.
        if (line->rfind("MESSAGE REALTIME ", 0) == 0) continue;
        if (line->rfind("MESSAGE ", 0) != 0) {
            d.move = parseMove(*line);
            EXPECT_TRUE(d.move) << "expected a move, got: " << *line;
            return d;
        }
        d.lines.push_back(*line);
    }
}

// "MESSAGE depth D value V nodes N time T ms best X,Y[ cut]", fields by name.
std::string field(const std::string& line, const std::string& name) {
    std::istringstream words(line);
    for (std::string word; words >> word;)
        if (word == name && words >> word) return word;
    return "";
}

std::string withoutTime(const std::string& line) {
    const std::size_t at = line.find(" time ");
    return at == std::string::npos ? line : line.substr(0, at) + line.substr(line.find(" ms", at) + 3);
}

// A node limit makes a turn the same on every machine: another process
// gives the same lines but for their times.
TEST_F(Play, NodeLimitedTurnsAreRepeatable) {
    BrainProcess other;
    ASSERT_TRUE(other.running()) << other.startError();
    Detail turns[2];
    BrainProcess* brains[2] = {&brain, &other};
    for (int i = 0; i < 2; ++i) {
        for (const char* line : {"START 20", "INFO max_node 3000", "INFO show_detail 1", "BOARD"}) brains[i]->send(line);
        for (const Stone& s : BusyPosition)
            brains[i]->send(std::to_string(s.x) + "," + std::to_string(s.y) + "," + std::to_string(s.who));
        brains[i]->send("DONE");
        EXPECT_EQ(brains[i]->readLine(), "OK");
        turns[i] = readDetail(*brains[i]);
    }
    other.finish();

    ASSERT_TRUE(turns[0].move && turns[1].move);
    EXPECT_EQ(*turns[0].move, *turns[1].move);
    ASSERT_FALSE(turns[0].lines.empty());
    ASSERT_EQ(turns[0].lines.size(), turns[1].lines.size());
    for (std::size_t i = 0; i < turns[0].lines.size(); ++i)
        EXPECT_EQ(withoutTime(turns[0].lines[i]), withoutTime(turns[1].lines[i]));
    const std::string& last = turns[0].lines.back();
    EXPECT_LE(std::stoll(field(last, "nodes")), 3000) << last;
    EXPECT_EQ(field(last, "best"), cell(*turns[0].move)) << last;
    EXPECT_EQ(last.substr(last.size() - 4), " cut") << last;
}

TEST_F(Play, MaxDepthDeepensTheTurnAndShowDetailReportsEachIteration) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("INFO max_depth 5");
    send("INFO show_detail 1");
    sendBoard({{0, 0, 2}});
    const Detail d = readDetail(brain);
    ASSERT_EQ(d.lines.size(), 5u);
    for (int depth = 1; depth <= 5; ++depth) {
        const std::string& line = d.lines[static_cast<std::size_t>(depth - 1)];
        EXPECT_EQ(line.rfind("MESSAGE depth " + std::to_string(depth) + " value ", 0), 0u) << line;
        EXPECT_NE(line.find(" ms best "), std::string::npos) << line;
        EXPECT_NE(line.substr(line.size() - 4), " cut") << line;
    }
    ASSERT_TRUE(d.move);
    EXPECT_EQ(field(d.lines.back(), "best"), cell(*d.move));

    send("INFO show_detail 0");
    send("TURN 5,5");
    ASSERT_TRUE(move());
}

// STOP cuts the turn at its next step, well before the 4.5 s cap; while
// Morrow is idle it writes nothing and does not cut the next turn.
TEST_F(Play, StopAnswersAtOnceAndIsForgottenWhenIdle) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("INFO max_depth 20");
    send("INFO show_detail 1");
    sendBoard(BusyPosition);
    std::string first = reply();
    while (first.rfind("MESSAGE REALTIME ", 0) == 0) first = reply();
    EXPECT_EQ(first.rfind("MESSAGE depth 1 ", 0), 0u) << first;
    send("YXSTOP");
    const Detail d = readDetail(brain);
    ASSERT_TRUE(d.move);
    ASSERT_FALSE(d.lines.empty());
    const std::string& last = d.lines.back();
    EXPECT_EQ(last.substr(last.size() - 4), " cut") << last;
    EXPECT_LT(std::stoll(field(last, "time")), 4500) << last;

    send("STOP");
    send("YXSTOP");
    expectSilence();
    send("INFO max_depth 2");
    send("TURN 9,9");
    const Detail next = readDetail(brain);
    ASSERT_EQ(next.lines.size(), 2u);
    EXPECT_NE(next.lines.back().substr(next.lines.back().size() - 4), " cut") << next.lines.back();
}

// ---- memory

// The limit comes after START, as every manager sends it: START must not
// have taken the tables already, and no reply may find the process above it.
TEST_F(Play, PrivateMemoryStaysWithinTheLimitAfterEveryReply) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer runtimes keep memory of their own";
#endif
    if (std::getenv("MORROW_BRAIN_COMMAND")) GTEST_SKIP() << "measured on the native brain only";
    if (!privateBytes(brain.pid())) GTEST_SKIP() << "no /proc/PID/smaps_rollup here";

    constexpr long long Limit = 40000000;
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    EXPECT_LT(*privateBytes(brain.pid()), 16ll << 20) << "START took memory for the tables";

    send("INFO max_memory " + std::to_string(Limit));
    sendBoard(BusyPosition);
    ASSERT_TRUE(move(Millis{30000}));
    EXPECT_LE(*privateBytes(brain.pid()), Limit) << "after the BOARD reply";
    for (const char* turn : {"TURN 9,9", "TURN 9,10", "TURN 13,13"}) {
        send(turn);
        ASSERT_TRUE(move(Millis{30000}));
        EXPECT_LE(*privateBytes(brain.pid()), Limit) << "after " << turn;
    }
}

}  // namespace
}  // namespace morrow::test
