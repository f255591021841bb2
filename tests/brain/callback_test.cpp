// The brain callbacks keep the protocol's board and the engine's board in
// step and write the callback-level replies.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "engine/engine.h"
#include "protocol/protocol.h"

namespace {

using Lines = std::vector<std::string>;

class Callbacks : public ::testing::Test {
protected:
    void SetUp() override {
        savedSink = ReplySink;
        ReplySink = [](const char* text, std::size_t length) { replies.emplace_back(text, length); };
        startGame(20, 20);
    }
    void TearDown() override {
        ReplySink = savedSink;
        width = height = 0;
    }

    void startGame(int w, int h) {
        width = w;
        height = h;
        ASSERT_TRUE(brain_init());
        EXPECT_EQ(takeReplies(), Lines{"OK"});
    }

    static Lines takeReplies() {
        Lines out;
        out.swap(replies);
        return out;
    }

    static bool bothBoardsEmpty() {
        for (int x = 0; x < MaxBoardSize; ++x)
            for (int y = 0; y < MaxBoardSize; ++y)
                if (myboard[x][y] != 0 || board[x][y] != 0) return false;
        return true;
    }

    static inline Lines replies;
    void (*savedSink)(const char*, std::size_t) = nullptr;
};

TEST_F(Callbacks, IsFreeNeedsAnEmptyCellOnTheBoard) {
    startGame(15, 12);
    EXPECT_TRUE(isFree(0, 0));
    EXPECT_TRUE(isFree(14, 11));
    EXPECT_FALSE(isFree(15, 0));
    EXPECT_FALSE(isFree(0, 12));
    EXPECT_FALSE(isFree(-1, 0));
    EXPECT_FALSE(isFree(0, -1));
    brain_my(3, 3);
    brain_opponents(4, 4);
    brain_block(5, 5);
    EXPECT_FALSE(isFree(3, 3));
    EXPECT_FALSE(isFree(4, 4));
    EXPECT_FALSE(isFree(5, 5));
    EXPECT_TRUE(isFree(6, 6));
    EXPECT_EQ(takeReplies(), Lines{});
}

TEST_F(Callbacks, MovesGoOnBothBoards) {
    brain_my(3, 4);
    brain_opponents(4, 3);
    EXPECT_EQ(takeReplies(), Lines{});
    EXPECT_EQ(myboard[3][4], 1);
    EXPECT_EQ(board[3][4], MyStone);
    EXPECT_EQ(myboard[4][3], 2);
    EXPECT_EQ(board[4][3], OpponentStone);
}

TEST_F(Callbacks, TakenOrOffBoardCellsAreReportedAndChangeNothing) {
    brain_my(3, 4);
    brain_opponents(4, 3);
    brain_block(5, 5);
    takeReplies();

    brain_my(4, 3);
    brain_opponents(3, 4);
    brain_block(5, 5);
    brain_my(5, 5);
    brain_opponents(20, 0);
    brain_my(-1, 2);
    brain_block(0, 20);
    EXPECT_EQ(takeReplies(), (Lines{"ERROR my move [4,3]", "ERROR opponents's move [3,4]", "ERROR winning move [5,5]",
                                    "ERROR my move [5,5]", "ERROR opponents's move [20,0]", "ERROR my move [-1,2]",
                                    "ERROR winning move [0,20]"}));
    EXPECT_EQ(myboard[3][4], 1);
    EXPECT_EQ(board[3][4], MyStone);
    EXPECT_EQ(myboard[4][3], 2);
    EXPECT_EQ(board[4][3], OpponentStone);
    EXPECT_EQ(myboard[5][5], 3);
    EXPECT_EQ(board[5][5], 0);
}

// A blocked cell is not a stone: the engine's board stays empty there, but
// the engine must treat the cell as closed.
TEST_F(Callbacks, BlockClosesTheCellForTheEngine) {
    brain_block(7, 8);
    EXPECT_EQ(takeReplies(), Lines{});
    EXPECT_EQ(myboard[7][8], 3);
    EXPECT_EQ(board[7][8], 0);
    EXPECT_TRUE(Closed[7][8]);
    EXPECT_FALSE(Closed[7][9]);
}

TEST_F(Callbacks, TakebackEmptiesAnOccupiedCell) {
    brain_my(3, 4);
    brain_opponents(4, 3);
    brain_block(5, 5);
    EXPECT_EQ(brain_takeback(3, 4), 0);
    EXPECT_EQ(brain_takeback(4, 3), 0);
    EXPECT_EQ(brain_takeback(5, 5), 0);
    EXPECT_EQ(myboard[3][4], 0);
    EXPECT_EQ(board[3][4], 0);
    EXPECT_EQ(myboard[4][3], 0);
    EXPECT_EQ(board[4][3], 0);
    EXPECT_EQ(myboard[5][5], 0);
    EXPECT_FALSE(Closed[5][5]);
    EXPECT_EQ(takeReplies(), Lines{});
}

TEST_F(Callbacks, TakebackRefusesEmptyAndOffBoardCells) {
    brain_my(3, 4);
    EXPECT_EQ(brain_takeback(4, 4), 2);
    EXPECT_EQ(brain_takeback(20, 4), 2);
    EXPECT_EQ(brain_takeback(-1, 4), 2);
    EXPECT_EQ(myboard[3][4], 1);
    EXPECT_EQ(board[3][4], MyStone);

    startGame(10, 10);
    brain_my(9, 9);
    EXPECT_EQ(brain_takeback(10, 9), 2);
    EXPECT_EQ(takeReplies(), Lines{});
}

TEST_F(Callbacks, RestartEmptiesBothBoards) {
    brain_my(3, 4);
    brain_opponents(4, 3);
    brain_block(5, 5);
    takeReplies();
    brain_restart();
    EXPECT_EQ(takeReplies(), Lines{"OK"});
    EXPECT_TRUE(bothBoardsEmpty());
    EXPECT_FALSE(Closed[5][5]);
    EXPECT_TRUE(isFree(5, 5));
}

TEST_F(Callbacks, InitEmptiesBothBoardsAndClosesCellsOffTheBoard) {
    brain_my(3, 4);
    brain_opponents(4, 3);
    brain_block(5, 5);
    takeReplies();
    startGame(15, 12);
    EXPECT_TRUE(bothBoardsEmpty());
    EXPECT_FALSE(Closed[5][5]);
    EXPECT_FALSE(Closed[14][11]);
    EXPECT_TRUE(Closed[15][0]);
    EXPECT_TRUE(Closed[0][12]);
    EXPECT_TRUE(Closed[19][19]);

    startGame(20, 20);
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 20; ++y) EXPECT_FALSE(Closed[x][y]) << x << "," << y;
}

TEST_F(Callbacks, InitRefusesBadSizesAndKeepsThePosition) {
    brain_my(3, 4);
    brain_opponents(4, 3);
    takeReplies();
    const std::pair<std::pair<int, int>, const char*> cases[] = {
        {{4, 20}, "ERROR size of the board"},  {{20, 4}, "ERROR size of the board"},
        {{0, 0}, "ERROR size of the board"},   {{-5, 20}, "ERROR size of the board"},
        {{21, 20}, "ERROR Maximal board size is 20"}, {{20, 21}, "ERROR Maximal board size is 20"},
        {{101, 101}, "ERROR Maximal board size is 20"}, {{INT_MAX, 20}, "ERROR Maximal board size is 20"},
    };
    for (const auto& [size, expected] : cases) {
        width = size.first;
        height = size.second;
        EXPECT_FALSE(brain_init());
        EXPECT_EQ(takeReplies(), Lines{expected}) << size.first << "x" << size.second;
    }
    EXPECT_EQ(myboard[3][4], 1);
    EXPECT_EQ(board[3][4], MyStone);
    EXPECT_EQ(myboard[4][3], 2);
    EXPECT_EQ(board[4][3], OpponentStone);
}

TEST_F(Callbacks, SmallestBoardIsAccepted) {
    width = height = 5;
    EXPECT_TRUE(brain_init());
    EXPECT_EQ(takeReplies(), Lines{"OK"});
    EXPECT_TRUE(isFree(4, 4));
    EXPECT_FALSE(isFree(5, 4));
}

}  // namespace
