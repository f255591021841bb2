// Commands handled in this process, without the worker: INFO settings and
// the board size that START and RECTSTART leave behind.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "protocol/protocol.h"

namespace {

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        savedSink = ReplySink;
        replies.clear();
        ReplySink = [](const char* text, std::size_t length) { replies.emplace_back(text, length); };
        width = height = 0;
        info_max_memory = 0;
        info_timeout_turn = 30000;
        info_timeout_match = 1000000000;
        info_time_left = 1000000000;
        info_time_given = false;
        info_game_type = 1;
        info_exact5 = info_continuous = info_renju = info_rule = 0;
        dataFolder[0] = '\0';
    }
    void TearDown() override {
        ReplySink = savedSink;
        width = height = 0;
    }

    // Handles one line; the commands used here never wait for the worker.
    std::vector<std::string> command(const std::string& line) {
        replies.clear();
        std::strncpy(cmd, line.c_str(), CommandBufferSize - 1);
        cmd[CommandBufferSize - 1] = '\0';
        EXPECT_TRUE(do_command()) << line;
        return replies;
    }

    static inline std::vector<std::string> replies;
    void (*savedSink)(const char*, std::size_t) = nullptr;
};

using Lines = std::vector<std::string>;

TEST_F(Dispatch, InfoSetsOneValueWithoutReply) {
    EXPECT_EQ(command("INFO timeout_turn 1000"), Lines{});
    EXPECT_EQ(info_timeout_turn, 1000);
    EXPECT_EQ(command("info TIMEOUT_MATCH 90000"), Lines{});
    EXPECT_EQ(info_timeout_match, 90000);
    EXPECT_EQ(command("INFO time_left -5"), Lines{});
    EXPECT_EQ(info_time_left, -5);
    EXPECT_EQ(command("INFO max_memory 83886080"), Lines{});
    EXPECT_EQ(info_max_memory, 83886080);
    EXPECT_EQ(command("INFO game_type 0"), Lines{});
    EXPECT_EQ(info_game_type, 0);
    EXPECT_EQ(command("INFO time_left 99999999999999"), Lines{});
    EXPECT_EQ(info_time_left, INT_MAX);
    EXPECT_EQ(info_timeout_turn, 1000);
}

TEST_F(Dispatch, InfoRuleSplitsIntoBits) {
    command("INFO rule 6");
    EXPECT_EQ(info_exact5, 0);
    EXPECT_EQ(info_continuous, 1);
    EXPECT_EQ(info_renju, 1);
    command("INFO rule 1");
    EXPECT_EQ(info_exact5, 1);
    EXPECT_EQ(info_continuous, 0);
    EXPECT_EQ(info_renju, 0);
}

TEST_F(Dispatch, InfoFolderKeepsTheRestOfTheLine) {
    command("INFO folder C:\\Morrow data\\games");
    EXPECT_STREQ(dataFolder, "C:\\Morrow data\\games");
    command("INFO folder " + std::string(240, 'f'));
    EXPECT_EQ(std::string(dataFolder), std::string(240, 'f'));
}

TEST_F(Dispatch, UnknownInfoKeyChangesNothing) {
    EXPECT_EQ(command("INFO evaluate 3,4"), Lines{});
    EXPECT_EQ(command("INFO"), Lines{});
    EXPECT_EQ(info_timeout_turn, 30000);
    EXPECT_EQ(info_time_left, 1000000000);
    EXPECT_EQ(info_max_memory, 0);
}

TEST_F(Dispatch, StartAndRectstartSetTheSize) {
    EXPECT_EQ(command("START 15"), Lines{"OK"});
    EXPECT_EQ(width, 15);
    EXPECT_EQ(height, 15);
    EXPECT_EQ(command("RECTSTART 20,12"), Lines{"OK"});
    EXPECT_EQ(width, 20);
    EXPECT_EQ(height, 12);
}

// A refused size announces no game at all.
TEST_F(Dispatch, RefusedSizesLeaveNoGame) {
    const std::pair<const char*, const char*> cases[] = {
        {"START 21", "ERROR Maximal board size is 20"},
        {"START 101", "ERROR Maximal board size is 20"},
        {"RECTSTART 20", "ERROR bad RECTSTART parameters"},
        {"RECTSTART 20,4", "ERROR bad RECTSTART parameters"},
        {"RECTSTART 20,25", "ERROR Maximal board size is 20"},
        {"RECTSTART 25,20", "ERROR Maximal board size is 20"},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(command("START 20"), Lines{"OK"});
        EXPECT_EQ(command(line), Lines{expected}) << line;
        EXPECT_EQ(width, 0) << line;
        EXPECT_EQ(height, 0) << line;
    }
}

TEST_F(Dispatch, BadStartParameterLeavesNoGame) {
    EXPECT_EQ(command("START 20"), Lines{"OK"});
    EXPECT_EQ(command("START 4"), Lines{"ERROR bad START parameter"});
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

TEST_F(Dispatch, PositionCommandSetsUpADefaultGame) {
    EXPECT_EQ(command("PLAY 19,19"), (Lines{"OK", "19,19"}));
    EXPECT_EQ(width, 20);
    EXPECT_EQ(height, 20);
    EXPECT_EQ(myboard[19][19], 1);
}

TEST_F(Dispatch, EndStopsTheLoop) {
    std::strcpy(cmd, "END");
    replies.clear();
    EXPECT_FALSE(do_command());
    EXPECT_TRUE(replies.empty());
}

}  // namespace
