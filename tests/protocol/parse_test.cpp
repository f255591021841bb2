// The line reader and the parsers of command parameters.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "engine/engine.h"
#include "protocol/protocol.h"

namespace {

TEST(CommandMatch, PrefixWithoutRegardToCase) {
    EXPECT_STREQ(get_cmd_param("start", "START 20"), "20");
    EXPECT_STREQ(get_cmd_param("start", "sTaRt 20"), "20");
    EXPECT_STREQ(get_cmd_param("start", "START20"), "20");
    // A longer word still matches: the parameter is what follows the name.
    EXPECT_STREQ(get_cmd_param("turn", "TURNX 3,4"), "X 3,4");
    EXPECT_EQ(get_cmd_param("start", "sta"), nullptr);
    EXPECT_EQ(get_cmd_param("start", "RECTSTART 20,20"), nullptr);
    EXPECT_EQ(get_cmd_param("rectstart", "RESTART"), nullptr);
    EXPECT_EQ(get_cmd_param("about", " ABOUT"), nullptr);
}

TEST(CommandMatch, BlanksAfterTheNameAreSkipped) {
    EXPECT_STREQ(get_cmd_param("start", "START \t  20 "), "20 ");
    const char* empty = get_cmd_param("about", "about   ");
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    ASSERT_NE(get_cmd_param("about", "ABOUT"), nullptr);
    EXPECT_STREQ(get_cmd_param("about", "ABOUT"), "");
}

class Coordinates : public ::testing::Test {
protected:
    void SetUp() override {
        savedWidth = width;
        savedHeight = height;
        width = 20;
        height = 20;
    }
    void TearDown() override {
        width = savedWidth;
        height = savedHeight;
    }
    int savedWidth = 0, savedHeight = 0;
};

TEST_F(Coordinates, ParseCoordChecksTheRange) {
    int x = -5, y = -5;
    EXPECT_TRUE(parse_coord("3,4", &x, &y));
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
    EXPECT_TRUE(parse_coord("0,0", &x, &y));
    EXPECT_TRUE(parse_coord("19,19", &x, &y));
    EXPECT_FALSE(parse_coord("20,5", &x, &y));
    EXPECT_FALSE(parse_coord("5,20", &x, &y));
    EXPECT_FALSE(parse_coord("-1,5", &x, &y));
    EXPECT_FALSE(parse_coord("5,-1", &x, &y));

    width = 20;
    height = 12;
    EXPECT_TRUE(parse_coord("19,11", &x, &y));
    EXPECT_FALSE(parse_coord("11,19", &x, &y));
    EXPECT_FALSE(parse_coord("19,12", &x, &y));

    width = height = 0;  // no game announced: nothing is on the board
    EXPECT_FALSE(parse_coord("0,0", &x, &y));
}

TEST_F(Coordinates, ParseCoordScansLikePercentD) {
    int x = -5, y = -5;
    EXPECT_TRUE(parse_coord("  3, 4", &x, &y));
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
    EXPECT_TRUE(parse_coord("+7,\t8 and more", &x, &y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 8);
    EXPECT_TRUE(parse_coord("007,08", &x, &y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 8);
    // The comma must follow the first number at once.
    EXPECT_FALSE(parse_coord("3 ,4", &x, &y));
    EXPECT_FALSE(parse_coord("3", &x, &y));
    EXPECT_FALSE(parse_coord("3,", &x, &y));
    EXPECT_FALSE(parse_coord("3,x", &x, &y));
    EXPECT_FALSE(parse_coord("x3,4", &x, &y));
    EXPECT_FALSE(parse_coord("", &x, &y));
    EXPECT_FALSE(parse_coord("- 3,4", &x, &y));
}

// A number beyond the int range is a failed parse, not a wrapped value that
// might land on the board.
TEST_F(Coordinates, ParseCoordRefusesIntOverflow) {
    int x, y;
    EXPECT_FALSE(parse_coord("4294967299,4", &x, &y));  // 2^32 + 3 would wrap to 3
    EXPECT_FALSE(parse_coord("4,4294967299", &x, &y));
    EXPECT_FALSE(parse_coord("2147483648,4", &x, &y));
    EXPECT_FALSE(parse_coord("99999999999999999999999,4", &x, &y));
    EXPECT_FALSE(parse_coord("-2147483649,4", &x, &y));
}

TEST_F(Coordinates, ParseThreeIntsKeepsWhoOrGivesZero) {
    int x = -5, y = -5, who = -5;
    parse_3int_chk("3,4,1", &x, &y, &who);
    EXPECT_EQ(who, 1);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
    parse_3int_chk(" 19, 0, 2", &x, &y, &who);
    EXPECT_EQ(who, 2);
    EXPECT_EQ(x, 19);
    EXPECT_EQ(y, 0);
    // Any scanned who is kept; the caller decides what it means.
    parse_3int_chk("3,3,7", &x, &y, &who);
    EXPECT_EQ(who, 7);
    parse_3int_chk("3,3,-1", &x, &y, &who);
    EXPECT_EQ(who, -1);

    for (const char* bad : {"20,4,1", "4,20,1", "-1,4,1", "3,4", "3,4,", "3,4,x", "DONE", "", "3 ,4,1", "3,4 ,1",
                            "3,4,4294967297", "4294967299,4,1"}) {
        who = 9;
        parse_3int_chk(bad, &x, &y, &who);
        EXPECT_EQ(who, 0) << '"' << bad << '"';
    }
}

TEST(SizeParameters, StartScansOneNumber) {
    int size = 0;
    EXPECT_TRUE(scan_start_size("20", size));
    EXPECT_EQ(size, 20);
    EXPECT_TRUE(scan_start_size("  15 and more", size));
    EXPECT_EQ(size, 15);
    EXPECT_TRUE(scan_start_size("-20", size));
    EXPECT_EQ(size, -20);
    EXPECT_FALSE(scan_start_size("", size));
    EXPECT_FALSE(scan_start_size("twenty", size));
    EXPECT_FALSE(scan_start_size("4294967316", size));  // 2^32 + 20
}

TEST(SizeParameters, RectstartAllowsBlanksBeforeTheComma) {
    int w = 0, h = 0;
    EXPECT_TRUE(scan_rectstart_size("20,12", w, h));
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 12);
    EXPECT_TRUE(scan_rectstart_size(" 12 ,\t20", w, h));
    EXPECT_EQ(w, 12);
    EXPECT_EQ(h, 20);
    EXPECT_TRUE(scan_rectstart_size("7 , 9", w, h));
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 9);
    for (const char* bad : {"20", "20 12", "20,", ",12", "x,12", "20;12", "", "4294967316,12", "12,4294967316"})
        EXPECT_FALSE(scan_rectstart_size(bad, w, h)) << '"' << bad << '"';
}

TEST(InfoValues, ReadLikeAtoiButSaturate) {
    EXPECT_EQ(parse_info_value("1000"), 1000);
    EXPECT_EQ(parse_info_value("  42abc"), 42);
    EXPECT_EQ(parse_info_value("+5"), 5);
    EXPECT_EQ(parse_info_value("-7"), -7);
    EXPECT_EQ(parse_info_value("abc"), 0);
    EXPECT_EQ(parse_info_value(""), 0);
    EXPECT_EQ(parse_info_value("2147483647"), INT_MAX);
    EXPECT_EQ(parse_info_value("2147483648"), INT_MAX);
    EXPECT_EQ(parse_info_value("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(parse_info_value("-2147483648"), INT_MIN);
    EXPECT_EQ(parse_info_value("-99999999999999999999999999"), INT_MIN);
}

// get_line reads through the ReadChar hook from a prepared text.
class LineReader : public ::testing::Test {
protected:
    void SetUp() override {
        saved = ReadChar;
        ReadChar = [] { return position < input.size() ? static_cast<unsigned char>(input[position++]) : EOF; };
    }
    void TearDown() override { ReadChar = saved; }
    static void feed(std::string text) {
        input = std::move(text);
        position = 0;
    }

    static inline std::string input;
    static inline std::size_t position = 0;
    int (*saved)() = nullptr;
};

TEST_F(LineReader, LinesWithoutTheirEnds) {
    feed("START 20\nTURN 3,4\r\n\nBEGIN\r\r\n");
    ASSERT_TRUE(get_line());
    EXPECT_STREQ(cmd, "START 20");
    ASSERT_TRUE(get_line());
    EXPECT_STREQ(cmd, "TURN 3,4");
    ASSERT_TRUE(get_line());
    EXPECT_STREQ(cmd, "");
    // Only the one "\r" right before the "\n" goes.
    ASSERT_TRUE(get_line());
    EXPECT_STREQ(cmd, "BEGIN\r");
    EXPECT_FALSE(get_line());
}

TEST_F(LineReader, EndOfInputIsFalseAlsoInsideALine) {
    feed("");
    EXPECT_FALSE(get_line());
    feed("ABOUT");
    EXPECT_FALSE(get_line());
}

// A manager's clock for a turn runs from the first of the commands it sent
// together, however long Morrow took over the ones before the turn.
TEST_F(LineReader, ARunOfWaitingCommandsStartsWhenItsFirstLineIsRead) {
    static long long now;
    now = 1000;
    long long (*savedClock)() = ClockSource;
    void (*savedSink)(const char*, std::size_t) = ReplySink;
    ClockSource = [] { return now; };
    ReplySink = [](const char*, std::size_t) {};
    // '~': the manager sends nothing for a second.
    ReadChar = [] {
        if (position < input.size() && input[position] == '~') {
            ++position;
            now += 1000;
        }
        return position < input.size() ? static_cast<unsigned char>(input[position++]) : EOF;
    };
    feed("~INFO max_memory 1\nINFO timeout_turn 1\nBOARD\n~TURN 1,1\nINFO time_left 5\nTURN 2,2\n");
    ASSERT_TRUE(get_line());
    EXPECT_EQ(BusySinceMs, 2000);
    now += 300;  // the tables of max_memory
    ASSERT_TRUE(get_line());
    ASSERT_TRUE(get_line());
    EXPECT_STREQ(cmd, "BOARD");
    EXPECT_EQ(BusySinceMs, 2000);
    // After a wait.
    ASSERT_TRUE(get_line());
    EXPECT_EQ(BusySinceMs, 3300);
    // After a reply the manager may have answered.
    pipeOut("OK");
    now += 50;
    ASSERT_TRUE(get_line());
    EXPECT_EQ(BusySinceMs, 3350);
    now += 50;
    ASSERT_TRUE(get_line());
    EXPECT_EQ(BusySinceMs, 3350);
    ClockSource = savedClock;
    ReplySink = savedSink;
}

TEST_F(LineReader, LongLineKeeps255CharactersAndIsConsumedWhole) {
    std::string longLine;
    for (int i = 0; i < 300; ++i) longLine += static_cast<char>('a' + i % 26);
    feed(longLine + "\nABOUT\n");
    ASSERT_TRUE(get_line());
    EXPECT_EQ(std::string(cmd), longLine.substr(0, 255));
    ASSERT_TRUE(get_line());
    EXPECT_STREQ(cmd, "ABOUT");
    EXPECT_FALSE(get_line());
}

TEST_F(LineReader, LinesAroundTheLimit) {
    const std::string exact(255, 'x');
    feed(exact + "\n" + exact + "y\n" + std::string(254, 'z') + "\r\n" + std::string(255, 'w') + "\r\n");
    ASSERT_TRUE(get_line());
    EXPECT_EQ(std::string(cmd), exact);
    // The 256th character gives way to the terminator.
    ASSERT_TRUE(get_line());
    EXPECT_EQ(std::string(cmd), exact);
    ASSERT_TRUE(get_line());
    EXPECT_EQ(std::string(cmd), std::string(254, 'z'));
    // Here the "\r" is the 256th character: cut like any other.
    ASSERT_TRUE(get_line());
    EXPECT_EQ(std::string(cmd), std::string(255, 'w'));
    EXPECT_FALSE(get_line());
}

TEST_F(LineReader, CarriageReturnAtTheCutIsDropped) {
    // 254 characters, "\r", then more: the kept text ends in "\r", which goes too.
    feed(std::string(254, 'q') + "\rtail\n");
    ASSERT_TRUE(get_line());
    EXPECT_EQ(std::string(cmd), std::string(254, 'q'));
}

}  // namespace
