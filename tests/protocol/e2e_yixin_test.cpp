// The deep executable driven as the Yixin-Board analysis GUI drives it: the
// command sequences below are those the board sends (its start-up burst,
// positions without a move, forbidden cells, thinking without a limit,
// N best), with its bad inputs besides.
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace morrow::test {
namespace {

class Yixin : public BrainTest {
protected:
    Yixin() : BrainTest(deepBrainCommand()) {}

    // What the board sends as it starts its engine, at its default level
    // (analysis without a limit).
    void startUp() {
        for (const char* line : {"info show_detail 1", "yxshowinfo", "START 15 15", "INFO max_node -1",
                                 "INFO timeout_match 100000000", "INFO time_left 100000000",
                                 "INFO timeout_turn 2000000", "INFO max_depth 225", "INFO time_increment 0",
                                 "INFO caution_factor 1", "INFO thread_num 1", "INFO hash_size 65536",
                                 "INFO pondering 0", "INFO vcthread 0"})
            send(line);
        const std::string threads = reply();
        EXPECT_EQ(threads.rfind("MESSAGE INFO MAX_THREAD_NUM ", 0), 0u) << threads;
        EXPECT_GE(std::stoi(threads.substr(28)), 1) << threads;
        EXPECT_EQ(reply(), "MESSAGE INFO MAX_HASH_SIZE 21");
        EXPECT_EQ(reply(), "OK");
    }

    // A position in move order, the side to move's stones as 1: the board's
    // "yxboard" or "board" list.
    void sendList(const std::string& command, const std::vector<Stone>& stones) {
        send(command);
        for (const Stone& s : stones)
            send(std::to_string(s.x) + "," + std::to_string(s.y) + "," + std::to_string(s.who));
        send("done");
    }

    // The next line that is neither a realtime mark nor an iteration's detail.
    std::string answer() {
        for (;;) {
            const std::string line = reply(Millis{30000});
            if (line.rfind("MESSAGE", 0) != 0) return line;
        }
    }
};

// Black (to move, so "1") has (5,7) (6,7) and (7,8) (7,9): (7,7) makes two
// open threes, a foul under renju.
const std::vector<Stone> DoubleThree = {{5, 7, 1}, {1, 13, 2}, {6, 7, 1}, {13, 1, 2},
                                        {7, 8, 1}, {1, 1, 2},  {7, 9, 1}, {13, 13, 2}};

TEST_F(Yixin, StartUpIsAnsweredWithItsLimitsAndUnknownCommandsGetNoReply) {
    startUp();
    for (const char* line : {"yxblockpath", "3,3", "done", "yxdraw", "info nbestsym 0", "hello"}) send(line);
    expectSilence();
    send("ABOUT");
    EXPECT_EQ(reply().rfind("name=\"Morrow\"", 0), 0u);
}

TEST_F(Yixin, RenjuPositionsShowTheirFoulsAndBlackNeverPlaysOne) {
    startUp();
    send("INFO rule 2");
    sendList("yxboard", DoubleThree);
    send("yxshowforbid");
    EXPECT_EQ(reply(), "FORBID 0707.");
    // The board asks its database for every position; Morrow keeps none.
    send("yxquerydatabaseall");
    for (const Stone& s : DoubleThree) send(std::to_string(s.x) + "," + std::to_string(s.y));
    send("done");
    expectSilence();
    send("INFO timeout_turn 1000");
    sendList("board", DoubleThree);
    EXPECT_NE(answer(), "7,7");

    // Free-style has no fouls.
    send("INFO rule 0");
    sendList("yxboard", DoubleThree);
    send("yxshowforbid");
    EXPECT_EQ(reply(), "FORBID .");
}

TEST_F(Yixin, ThinkingWithoutALimitShowsItsBestMoveUntilStopped) {
    startUp();
    sendList("board", {{7, 7, 2}, {8, 8, 1}, {8, 7, 2}});
    std::string line = reply(Millis{5000});
    while (line.rfind("MESSAGE depth", 0) == 0) line = reply(Millis{5000});
    EXPECT_EQ(line.rfind("MESSAGE REALTIME BEST ", 0), 0u) << line;
    // Let it run into the second where the root moves show too.
    bool sawRootMove = false;
    for (int i = 0; i < 400 && !sawRootMove; ++i) {
        line = reply(Millis{5000});
        sawRootMove = line.rfind("MESSAGE REALTIME POS ", 0) == 0;
    }
    EXPECT_TRUE(sawRootMove);
    send("yxstop");
    const std::optional<Move> m = parseMove(answer());
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->first >= 0 && m->first < 15 && m->second >= 0 && m->second < 15);
}

TEST_F(Yixin, NBestRanksMovesEveryIterationAndAnswersTheFirst) {
    startUp();
    send("INFO timeout_turn 800");
    send("yxhashclear");
    sendList("yxboard", {{7, 7, 2}, {8, 8, 1}, {6, 8, 2}});
    send("yxnbest 3");
    std::string lastFirst;
    int expectedRank = 1, iterations = 0;
    for (;;) {
        const std::string line = reply(Millis{30000});
        if (line.rfind("MESSAGE (", 0) == 0) {
            EXPECT_EQ(line.rfind("MESSAGE (" + std::to_string(expectedRank) + ") ", 0), 0u) << line;
            EXPECT_NE(line.find(" value "), std::string::npos) << line;
            EXPECT_NE(line.find(" depth "), std::string::npos) << line;
            EXPECT_NE(line.find(" pv "), std::string::npos) << line;
            if (expectedRank == 1) lastFirst = line.substr(line.find(") ") + 2, line.find(" value") - line.find(") ") - 2);
            if (expectedRank == 3) ++iterations;
            expectedRank = expectedRank % 3 + 1;
            continue;
        }
        if (line.rfind("MESSAGE", 0) == 0) continue;
        EXPECT_GE(iterations, 1);
        EXPECT_EQ(line, lastFirst);
        break;
    }
}

TEST_F(Yixin, BlockedCellsAreNotPlayedUntilTakenBack) {
    startUp();
    send("INFO timeout_turn 500");
    // The opponent's four on row 3, closed at (2,3), leaves one block: (7,3).
    const std::vector<Stone> four = {{3, 3, 2}, {2, 3, 1}, {4, 3, 2}, {9, 9, 1}, {5, 3, 2}, {10, 11, 1}, {6, 3, 2}};
    send("yxblock");
    send("7,3");
    send("done");
    sendList("board", four);
    EXPECT_NE(answer(), "7,3");
    send("yxblockundo");
    sendList("board", four);
    EXPECT_EQ(answer(), "7,3");
    sendList("yxboard", four);
    send("yxblock");
    send("7,3");
    send("done");
    send("yxblockreset");
    sendList("board", four);
    EXPECT_EQ(answer(), "7,3");
}

// Bad lines get one ERROR line and leave the game as it was.
TEST_F(Yixin, BadListsAndParametersAreRefusedWholeAndChangeNothing) {
    startUp();
    send("INFO rule 2");
    sendList("yxboard", DoubleThree);
    send("yxboard");
    send("5,5,1");
    send("not a cell");
    send("6,6,2");
    send("done");
    EXPECT_EQ(reply(), "ERROR x,y,who or DONE expected after YXBOARD");
    sendList("yxboard", {{5, 5, 1}, {5, 5, 2}});
    EXPECT_EQ(reply(), "ERROR YXBOARD stone 5,5 on an occupied cell");
    sendList("yxboard", {{15, 3, 1}});
    EXPECT_EQ(reply(), "ERROR x,y,who or DONE expected after YXBOARD");
    send("yxshowforbid");
    EXPECT_EQ(reply(), "FORBID 0707.");

    for (const char* cell : {"5,7", "20,20", "x"}) {
        send("yxblock");
        send(cell);
        send("done");
        const std::string error = reply();
        EXPECT_EQ(error.rfind("ERROR ", 0), 0u) << cell << ": " << error;
    }
    for (const char* bad : {"yxnbest 0", "yxnbest three", "yxnbest -2", "yxnbest"}) {
        send(bad);
        EXPECT_EQ(reply(), "ERROR bad YXNBEST parameter") << bad;
    }
    // Thread counts out of range are clamped: the turns go on.
    send("INFO timeout_turn 300");
    for (const char* threads : {"INFO thread_num 0", "INFO thread_num 1000"}) {
        send(threads);
        sendList("board", DoubleThree);
        EXPECT_NE(answer(), "7,7") << threads;
    }
}

}  // namespace
}  // namespace morrow::test
