// The command replies of the real executable, one child process per test.
#include <string>

#include "e2e_fixture.h"

namespace morrow::test {
namespace {

using Commands = BrainTest;

TEST_F(Commands, StartInAnyCaseAndWithoutBlank) {
    for (const char* line : {"START 20", "start 20", "START20", "sTaRt   20"}) {
        send(line);
        EXPECT_EQ(reply(), "OK") << line;
    }
}

TEST_F(Commands, StartRefusesBadAndTooLargeSizes) {
    const std::pair<const char*, const char*> cases[] = {
        {"START 4", "ERROR bad START parameter"},
        {"START", "ERROR bad START parameter"},
        {"START twenty", "ERROR bad START parameter"},
        {"START -20", "ERROR bad START parameter"},
        {"START 2147483648", "ERROR bad START parameter"},
        {"START 21", "ERROR Maximal board size is 20"},
        {"START 101", "ERROR Maximal board size is 20"},
    };
    for (const auto& [line, expected] : cases) {
        send(line);
        EXPECT_EQ(reply(), expected) << line;
    }
}

// A refused START announces no game: the next position command sets up 20x20.
TEST_F(Commands, RefusedStartLeavesNoGame) {
    send("START 15");
    EXPECT_EQ(reply(), "OK");
    send("START 21");
    EXPECT_EQ(reply(), "ERROR Maximal board size is 20");
    send("PLAY 19,19");
    EXPECT_EQ(reply(), "OK");
    EXPECT_EQ(reply(), "19,19");

    send("START 4");
    EXPECT_EQ(reply(), "ERROR bad START parameter");
    send("PLAY 19,19");
    EXPECT_EQ(reply(), "OK");
    EXPECT_EQ(reply(), "19,19");
}

TEST_F(Commands, RectstartSetsBothSizes) {
    send("RECTSTART 20,12");
    EXPECT_EQ(reply(), "OK");
    send("PLAY 19,11");
    EXPECT_EQ(reply(), "19,11");
    send("PLAY 11,19");
    EXPECT_EQ(reply(), "ERROR bad coordinates");
    send("PLAY 19,12");
    EXPECT_EQ(reply(), "ERROR bad coordinates");

    send("rectstart 12 ,20");
    EXPECT_EQ(reply(), "OK");
    send("PLAY 11,19");
    EXPECT_EQ(reply(), "11,19");
    send("PLAY 12,0");
    EXPECT_EQ(reply(), "ERROR bad coordinates");
}

TEST_F(Commands, RectstartRefusals) {
    const std::pair<const char*, const char*> cases[] = {
        {"RECTSTART 20", "ERROR bad RECTSTART parameters"},
        {"RECTSTART 20 12", "ERROR bad RECTSTART parameters"},
        {"RECTSTART", "ERROR bad RECTSTART parameters"},
        {"RECTSTART 4,20", "ERROR bad RECTSTART parameters"},
        {"RECTSTART 20,4", "ERROR bad RECTSTART parameters"},
        {"RECTSTART 20,99999999999", "ERROR bad RECTSTART parameters"},
        {"RECTSTART 20,25", "ERROR Maximal board size is 20"},
        {"RECTSTART 25,20", "ERROR Maximal board size is 20"},
    };
    for (const auto& [line, expected] : cases) {
        send(line);
        EXPECT_EQ(reply(), expected) << line;
    }
    // Nothing announced: the next position command plays on 20x20.
    send("PLAY 19,19");
    EXPECT_EQ(reply(), "OK");
    EXPECT_EQ(reply(), "19,19");
}

TEST_F(Commands, RestartAndStartEmptyTheBoard) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("PLAY 5,5");
    EXPECT_EQ(reply(), "5,5");
    send("RESTART");
    EXPECT_EQ(reply(), "OK");
    send("PLAY 5,5");
    EXPECT_EQ(reply(), "5,5");
    // A new game in the same process starts empty too.
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("PLAY 5,5");
    EXPECT_EQ(reply(), "5,5");
    send("TAKEBACK 5,5");
    EXPECT_EQ(reply(), "OK");
}

// INFO is answered only to say that a rule other than free-style is not
// played: exact five (1) or renju (4), whatever other bits come with them.
TEST_F(Commands, InfoIsAnsweredOnlyForARuleMorrowDoesNotPlay) {
    send("INFO timeout_turn 5000");
    send("INFO timeout_match 100000");
    send("INFO max_memory 83886080");
    for (const char* rule : {"INFO rule 0", "INFO rule 1", "INFO rule 2", "INFO rule 4", "INFO rule 5", "INFO rule 8",
                             "INFO rule 15"})
        send(rule);
    send("INFO max_depth 6");
    send("INFO max_node 5000");
    send("INFO show_detail 0");
    send("INFO folder /tmp/morrow data");
    send("INFO evaluate 3,4");
    send("INFO");
    for (const char* rule : {"INFO rule 16", "INFO rule 20"}) {
        send(rule);
        EXPECT_EQ(reply(), "MESSAGE Morrow knows the rule bits 1, 2, 4 and 8 only: the others change nothing") << rule;
    }
    send("ABOUT");
    const std::string about = reply();
    EXPECT_EQ(about.rfind("name=\"Morrow\"", 0), 0u) << about;
    expectSilence();
}

TEST_F(Commands, AboutIsOneLineOfFivePairs) {
    send("ABOUT");
    const std::string about = reply();
    EXPECT_EQ(about.rfind("name=\"Morrow\", author=\"", 0), 0u) << about;
    EXPECT_NE(about.find(", version=\"3.2\", country=\""), std::string::npos) << about;
    // No page of Morrow's is published: the address stays empty.
    EXPECT_NE(about.find("\", www=\"\""), std::string::npos) << about;
    EXPECT_EQ(about.back(), '"') << about;
    expectSilence();
}

TEST_F(Commands, PlayEchoesAndReportsATakenCell) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("PLAY 10,9");
    EXPECT_EQ(reply(), "10,9");
    // The move is written even when the cell was taken.
    send("PLAY 10,9");
    EXPECT_EQ(reply(), "ERROR my move [10,9]");
    EXPECT_EQ(reply(), "10,9");
    send("PLAY 0,0");
    EXPECT_EQ(reply(), "0,0");
    send("PLAY 20,0");
    EXPECT_EQ(reply(), "ERROR bad coordinates");
}

TEST_F(Commands, TakebackNeedsAnOccupiedCell) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("TAKEBACK 3,3");
    EXPECT_EQ(reply(), "ERROR bad coordinates");
    send("PLAY 3,3");
    EXPECT_EQ(reply(), "3,3");
    send("TAKEBACK 3,3");
    EXPECT_EQ(reply(), "OK");
    send("TAKEBACK 3,3");
    EXPECT_EQ(reply(), "ERROR bad coordinates");
    send("TAKEBACK 20,3");
    EXPECT_EQ(reply(), "ERROR bad coordinates");
    // Taken back, the cell can be played again.
    send("PLAY 3,3");
    EXPECT_EQ(reply(), "3,3");
}

TEST_F(Commands, TurnWithBadCoordinatesAsksForNoMove) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    for (const char* line : {"TURN 20,5", "TURN 5,20", "TURN -1,5", "TURN 5", "TURN 5 ,6", "TURN", "TURNX 3,4"}) {
        send(line);
        EXPECT_EQ(reply(), "ERROR bad coordinates") << line;
    }
    // Had any of them asked for a move, it would come before this reply.
    sync();
}

TEST_F(Commands, BoardListEndedByABadLineStillGetsAMove) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard({{10, 10, 1}, {9, 9, 2}}, "3,3,7");
    EXPECT_EQ(reply(), "ERROR x,y,who or DONE expected after BOARD");
    const std::optional<Move> m = move();
    ASSERT_TRUE(m);
    EXPECT_NE(*m, Move(10, 10));
    EXPECT_NE(*m, Move(9, 9));
    // "3,3,7" ended the list without placing a stone.
    send("PLAY 3,3");
    EXPECT_EQ(reply(), "3,3");
}

TEST_F(Commands, BoardListEndedByDoneInAnyCase) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    sendBoard({{10, 10, 1}, {9, 9, 2}}, "done");
    const std::optional<Move> m = move();
    ASSERT_TRUE(m);
    sync();
}

// BOARD is a whole new position: the stones and blocks of the game so far
// are gone, and the move is the one a fresh process makes.
TEST_F(Commands, BoardReplacesTheWholePosition) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("TURN 10,10");
    ASSERT_TRUE(move());
    sendBoard({{3, 3, 3}, {12, 12, 1}});
    ASSERT_TRUE(move());

    sendBoard({{5, 5, 2}});
    const std::optional<Move> m = move();
    for (const char* cell : {"10,10", "12,12", "3,3"}) {
        send(std::string("TAKEBACK ") + cell);
        EXPECT_EQ(reply(), "ERROR bad coordinates") << cell << " outlived the BOARD";
    }

    BrainProcess fresh;
    ASSERT_TRUE(fresh.running()) << fresh.startError();
    for (const char* line : {"START 20", "BOARD", "5,5,2", "DONE"}) fresh.send(line);
    EXPECT_EQ(fresh.readLine(), "OK");
    const std::optional<std::string> freshMove = fresh.readLine();
    ASSERT_TRUE(m && freshMove);
    EXPECT_EQ(std::to_string(m->first) + "," + std::to_string(m->second), *freshMove);
    fresh.finish();
}

TEST_F(Commands, UnknownCommands) {
    for (const char* line : {"HELLO", "", "  START 20", "SWAP2"}) {
        send(line);
        EXPECT_EQ(reply(), "UNKNOWN command") << '"' << line << '"';
    }
}

TEST_F(Commands, LongLineIsCutAt255CharactersAndConsumedWhole) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    // "3," ends at character 255; the "4" after it is the 256th and is cut,
    // so the coordinates do not parse. The rest must not become a command.
    std::string line = "PLAY" + std::string(249, ' ') + "3,4";
    ASSERT_EQ(line.size(), 256u);
    line += "ABOUT";
    line += std::string(300 - line.size(), 'Q');
    send(line);
    EXPECT_EQ(reply(), "ERROR bad coordinates");
    sync();
    expectSilence();
}

TEST_F(Commands, CarriageReturnBeforeTheLineEndIsDropped) {
    ASSERT_TRUE(brain.sendRaw("START 20\r\nPLAY 4,5\r\n"));
    EXPECT_EQ(reply(), "OK");
    EXPECT_EQ(reply(), "4,5");
}

TEST_F(Commands, EndExitsWithoutReply) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("END");
    EXPECT_EQ(brain.waitExit(), std::optional<int>(0));
    EXPECT_EQ(brain.readLine(Millis{5000}), std::nullopt);
}

TEST_F(Commands, EndOfInputExitsWithStatusZero) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    brain.closeInput();
    EXPECT_EQ(brain.waitExit(), std::optional<int>(0));
    EXPECT_EQ(brain.readLine(Millis{5000}), std::nullopt);
}

TEST_F(Commands, EndOfInputInsideABoardList) {
    send("START 20");
    EXPECT_EQ(reply(), "OK");
    send("BOARD");
    send("10,10,1");
    send("9,9,2");
    brain.closeInput();
    EXPECT_EQ(brain.waitExit(), std::optional<int>(0));
    EXPECT_EQ(brain.readLine(Millis{5000}), std::nullopt);
}

TEST_F(Commands, EndOfInputBeforeAnyCommand) {
    brain.closeInput();
    EXPECT_EQ(brain.waitExit(), std::optional<int>(0));
    EXPECT_EQ(brain.readLine(Millis{5000}), std::nullopt);
}

}  // namespace
}  // namespace morrow::test
