// A brain child process per test, with helpers that turn its replies into
// test failures with readable messages.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/brain_process.h"

namespace morrow::test {

// who: 1 Morrow, 2 the opponent, 3 a blocked cell.
struct Stone {
    int x, y, who;
};

using Move = std::pair<int, int>;

// What a tournament judge reads as the brain's memory: Private_Clean +
// Private_Dirty of the process, in bytes; nothing where it cannot be read.
inline std::optional<long long> privateBytes(pid_t pid) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    if (!rollup) return std::nullopt;
    long long kib = 0;
    bool found = false;
    for (std::string line; std::getline(rollup, line);) {
        std::istringstream fields(line);
        std::string name;
        long long value = 0;
        fields >> name >> value;
        if (name == "Private_Clean:" || name == "Private_Dirty:") {
            kib += value;
            found = true;
        }
    }
    if (!found) return std::nullopt;
    return kib * 1024;
}

class BrainTest : public ::testing::Test {
protected:
    BrainTest() = default;
    explicit BrainTest(std::vector<std::string> argv) : brain(std::move(argv)) {}
    void SetUp() override { ASSERT_TRUE(brain.running()) << brain.startError(); }
    void TearDown() override { brain.finish(); }

    void send(const std::string& line) { EXPECT_TRUE(brain.send(line)) << "the brain stopped reading before " << line; }

    // The next reply, or "<no reply>" and a failure when none came in time.
    // No reply may carry a "\r": managers split on "\n" alone.
    std::string reply(Millis timeout = LineTimeout) {
        const std::optional<std::string> line = brain.readLine(timeout);
        if (!line) {
            ADD_FAILURE() << "no reply line within " << timeout.count() << " ms";
            return "<no reply>";
        }
        EXPECT_EQ(line->find('\r'), std::string::npos) << "reply with a carriage return: " << *line;
        return *line;
    }

    // The next reply must be a move "x,y".
    std::optional<Move> move(Millis timeout = LineTimeout) {
        const std::string line = reply(timeout);
        const std::optional<Move> m = parseMove(line);
        if (!m) ADD_FAILURE() << "expected a move, got: " << line;
        return m;
    }

    void sendBoard(const std::vector<Stone>& stones, const std::string& end = "DONE") {
        send("BOARD");
        for (const Stone& s : stones)
            send(std::to_string(s.x) + "," + std::to_string(s.y) + "," + std::to_string(s.who));
        send(end);
    }

    // Waits for the worker (TAKEBACK waits like every position command) and
    // proves that no other reply came before it. Needs a game announced.
    void sync() {
        send("TAKEBACK -1,-1");
        EXPECT_EQ(reply(), "ERROR bad coordinates");
    }

    void expectSilence(Millis quiet = Millis{300}) {
        EXPECT_TRUE(brain.noLineWithin(quiet)) << "unexpected reply: " << brain.readLine(Millis{0}).value_or("");
    }

    BrainProcess brain;
};

}  // namespace morrow::test
