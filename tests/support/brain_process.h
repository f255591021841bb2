// Runs the real brain as a child process and talks to it the way a gomoku
// manager does: lines on its standard input, replies read from its standard
// output, its standard error kept for sanitizer reports.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morrow::test {

using Millis = std::chrono::milliseconds;

// Generous on purpose: wine starts slowly, sanitizer builds run several
// times slower, and a turn may think for up to 4.5 s.
inline constexpr Millis LineTimeout{20000};

// The brain's argv: MORROW_BRAIN_COMMAND split at blanks when it is set,
// else the pbrain-morrow built with these tests.
std::vector<std::string> brainCommand();
// The same for pbrain-morrow-deep and MORROW_DEEP_BRAIN_COMMAND.
std::vector<std::string> deepBrainCommand();

// The first sanitizer report in `text`, from its marker on; empty if none.
std::string findSanitizerReport(std::string_view text);

class BrainProcess {
public:
    BrainProcess();
    explicit BrainProcess(std::vector<std::string> argv);
    ~BrainProcess();
    BrainProcess(const BrainProcess&) = delete;
    BrainProcess& operator=(const BrainProcess&) = delete;

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& startError() const { return startError_; }

    // Writes `line` and a "\n". False when the brain no longer reads.
    bool send(std::string_view line);
    bool sendRaw(std::string_view bytes);
    void closeInput();

    // The next reply line without its "\n" (a "\r" is kept); nothing on
    // timeout or when the output ended.
    std::optional<std::string> readLine(Millis timeout = LineTimeout);
    // True when no whole line arrives within `quiet`; a line that does
    // arrive stays queued for readLine.
    bool noLineWithin(Millis quiet);

    // The exit status (128 + signal number when killed by a signal), or
    // nothing if the brain is still running after `timeout`.
    std::optional<int> waitExit(Millis timeout = LineTimeout);

    // Everything the brain wrote to standard error so far.
    const std::string& errorOutput();

    // Ends the brain if it still runs, collects the rest of its standard
    // error and fails the current test on a sanitizer report. Runs once;
    // the destructor calls it too.
    void finish();

private:
    void start(const std::vector<std::string>& argv);
    // Waits up to `timeout` for output on either pipe and stores it; false
    // when nothing could arrive any more.
    bool pump(Millis timeout);
    bool reap(bool block);

    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    int stderrFd_ = -1;
    std::string stdoutBuffer_;
    std::string stderrBuffer_;
    std::optional<int> exitStatus_;
    std::string startError_;
    bool finished_ = false;
};

// "x,y" as two ints; nothing for any other text.
std::optional<std::pair<int, int>> parseMove(std::string_view line);

}  // namespace morrow::test
