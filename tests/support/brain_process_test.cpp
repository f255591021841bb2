// The harness itself, driven with small shell scripts in place of a brain.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "support/brain_process.h"

namespace morrow::test {
namespace {

BrainProcess shell(const std::string& script) { return BrainProcess({"/bin/sh", "-c", script}); }

TEST(BrainProcess, LinesKeepCarriageReturnsAndEndAtEof) {
    BrainProcess p = shell("printf 'one\\ntwo\\r\\n\\nthree'; exit 3");
    ASSERT_TRUE(p.running()) << p.startError();
    EXPECT_EQ(p.readLine(), "one");
    EXPECT_EQ(p.readLine(), "two\r");
    EXPECT_EQ(p.readLine(), "");
    // An unfinished last line is no line.
    EXPECT_EQ(p.readLine(), std::nullopt);
    EXPECT_EQ(p.waitExit(), 3);
}

TEST(BrainProcess, SendsLinesAndClosesInput) {
    BrainProcess p = shell("while read -r line; do echo \"got $line\"; done; exit 0");
    ASSERT_TRUE(p.running());
    EXPECT_TRUE(p.send("hello"));
    EXPECT_EQ(p.readLine(), "got hello");
    EXPECT_TRUE(p.noLineWithin(Millis{100}));
    EXPECT_TRUE(p.send("again"));
    // A line that arrives while waiting for quiet stays queued.
    EXPECT_FALSE(p.noLineWithin(Millis{5000}));
    EXPECT_EQ(p.readLine(Millis{0}), "got again");
    p.closeInput();
    EXPECT_EQ(p.waitExit(), 0);
    EXPECT_FALSE(p.send("too late"));
}

TEST(BrainProcess, TimeoutsReturnNothing) {
    BrainProcess p = shell("exec sleep 30");
    ASSERT_TRUE(p.running());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(p.readLine(Millis{200}), std::nullopt);
    EXPECT_EQ(p.waitExit(Millis{100}), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    p.finish();  // kills it
}

TEST(BrainProcess, ExitBySignal) {
    BrainProcess p = shell("kill -9 $$");
    ASSERT_TRUE(p.running());
    EXPECT_EQ(p.waitExit(), 128 + 9);
}

// A brain that writes much to standard error must not stall on a full pipe.
TEST(BrainProcess, DrainsStandardError) {
    BrainProcess p = shell("i=0; while [ $i -lt 3000 ]; do echo 'fixme: some noise from the runtime' >&2; i=$((i+1)); done; "
                           "echo done");
    ASSERT_TRUE(p.running());
    EXPECT_EQ(p.readLine(), "done");
    EXPECT_EQ(p.waitExit(), 0);
    EXPECT_GT(p.errorOutput().size(), 65536u);
}

TEST(BrainProcess, SanitizerReportFailsTheTest) {
    BrainProcess p = shell("echo '==1==ERROR: AddressSanitizer: heap-use-after-free' >&2");
    ASSERT_TRUE(p.running());
    EXPECT_EQ(p.waitExit(), 0);
    EXPECT_NONFATAL_FAILURE(p.finish(), "heap-use-after-free");
}

TEST(BrainProcess, SanitizerMarkers) {
    EXPECT_EQ(findSanitizerReport("fixme:ntdll: nothing\n"), "");
    for (const char* marker : {"ERROR: AddressSanitizer", "x.cpp:3:5: runtime error: signed overflow",
                               "WARNING: ThreadSanitizer: data race", "ERROR: LeakSanitizer: detected"})
        EXPECT_NE(findSanitizerReport(std::string("noise\n") + marker + "\nmore"), "") << marker;
}

TEST(BrainProcess, MissingProgramDoesNotStart) {
    BrainProcess p({"/nonexistent/pbrain-nothing"});
    EXPECT_FALSE(p.running());
    EXPECT_NE(p.startError(), "");
    EXPECT_EQ(p.readLine(Millis{0}), std::nullopt);
}

TEST(BrainCommand, FromTheEnvironmentOrTheBuiltBrain) {
    const char* saved = std::getenv("MORROW_BRAIN_COMMAND");
    const std::string savedValue = saved ? saved : "";
    ::setenv("MORROW_BRAIN_COMMAND", "  /usr/lib/wine/wine64\t/tmp/pbrain-morrow64.exe ", 1);
    EXPECT_EQ(brainCommand(), (std::vector<std::string>{"/usr/lib/wine/wine64", "/tmp/pbrain-morrow64.exe"}));
    ::unsetenv("MORROW_BRAIN_COMMAND");
    const std::vector<std::string> built = brainCommand();
    ASSERT_EQ(built.size(), 1u);
    EXPECT_NE(built[0].find("pbrain-morrow"), std::string::npos);
    if (saved) ::setenv("MORROW_BRAIN_COMMAND", savedValue.c_str(), 1);
}

TEST(MoveLines, OnlyTwoNumbersAndAComma) {
    EXPECT_EQ(parseMove("3,4"), std::make_pair(3, 4));
    EXPECT_EQ(parseMove("19,0"), std::make_pair(19, 0));
    for (const char* bad : {"3,4\r", "3, 4", " 3,4", "3,4,1", "3", "OK", "ERROR my move [3,4]", "", ","})
        EXPECT_EQ(parseMove(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace morrow::test
