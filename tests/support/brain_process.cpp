#include "support/brain_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace morrow::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* SanitizerMarkers[] = {
    "ERROR: AddressSanitizer",
    "runtime error:",
    "WARNING: ThreadSanitizer",
    "ERROR: LeakSanitizer",
};

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

Millis remaining(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
    return left.count() > 0 ? left : Millis{0};
}

// A brain that has gone away must not take the test process with it.
void ignoreSigpipe() {
    static const bool done = [] {
        ::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)done;
}

}  // namespace

namespace {
std::vector<std::string> commandFrom(const char* variable, const char* builtPath) {
    std::vector<std::string> argv;
    if (const char* command = std::getenv(variable); command && *command) {
        std::istringstream words(command);
        for (std::string word; words >> word;) argv.push_back(word);
    }
    if (argv.empty()) argv.push_back(builtPath);
    return argv;
}
}  // namespace

std::vector<std::string> brainCommand() { return commandFrom("MORROW_BRAIN_COMMAND", MORROW_BRAIN_PATH); }

std::vector<std::string> deepBrainCommand() {
    return commandFrom("MORROW_DEEP_BRAIN_COMMAND", MORROW_DEEP_BRAIN_PATH);
}

std::string findSanitizerReport(std::string_view text) {
    std::size_t first = std::string_view::npos;
    for (const char* marker : SanitizerMarkers) first = std::min(first, text.find(marker));
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, 4000));
}

BrainProcess::BrainProcess() : BrainProcess(brainCommand()) {}

BrainProcess::BrainProcess(std::vector<std::string> argv) {
    ignoreSigpipe();
    start(argv);
}

BrainProcess::~BrainProcess() { finish(); }

void BrainProcess::start(const std::vector<std::string>& argv) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        startError_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        startError_ = std::string("pipe: ") + std::strerror(errno);
        ::close(in[0]), ::close(in[1]);
        return;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        startError_ = std::string("pipe: ") + std::strerror(errno);
        ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
        return;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    stdinFd_ = in[1];
    stdoutFd_ = out[0];
    stderrFd_ = err[0];
    if (rc != 0) {
        startError_ = "cannot start " + argv[0] + ": " + std::strerror(rc);
        closeFd(stdinFd_);
        closeFd(stdoutFd_);
        closeFd(stderrFd_);
        return;
    }
    pid_ = pid;
}

bool BrainProcess::sendRaw(std::string_view bytes) {
    if (stdinFd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(stdinFd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool BrainProcess::send(std::string_view line) {
    std::string text(line);
    text += '\n';
    return sendRaw(text);
}

void BrainProcess::closeInput() { closeFd(stdinFd_); }

bool BrainProcess::pump(Millis timeout) {
    pollfd fds[2];
    int count = 0;
    if (stdoutFd_ >= 0) fds[count++] = {stdoutFd_, POLLIN, 0};
    if (stderrFd_ >= 0) fds[count++] = {stderrFd_, POLLIN, 0};
    if (count == 0) return false;
    const int ready = ::poll(fds, static_cast<nfds_t>(count), static_cast<int>(timeout.count()));
    if (ready < 0) return errno == EINTR;
    for (int i = 0; i < count; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char chunk[4096];
        const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        const bool isStdout = fds[i].fd == stdoutFd_;
        if (n <= 0) {
            closeFd(isStdout ? stdoutFd_ : stderrFd_);
            continue;
        }
        (isStdout ? stdoutBuffer_ : stderrBuffer_).append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> BrainProcess::readLine(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    bool expired = false;
    for (;;) {
        if (const std::size_t end = stdoutBuffer_.find('\n'); end != std::string::npos) {
            std::string line = stdoutBuffer_.substr(0, end);
            stdoutBuffer_.erase(0, end + 1);
            return line;
        }
        if (stdoutFd_ < 0 || expired) return std::nullopt;
        // Look at the pipes at least once, even with no time left.
        const Millis left = remaining(deadline);
        expired = left.count() == 0;
        if (!pump(left)) return std::nullopt;
    }
}

bool BrainProcess::noLineWithin(Millis quiet) {
    const auto deadline = Clock::now() + quiet;
    for (;;) {
        if (stdoutBuffer_.find('\n') != std::string::npos) return false;
        const Millis left = remaining(deadline);
        if (left.count() == 0 || stdoutFd_ < 0) return true;
        if (!pump(left)) return true;
    }
}

bool BrainProcess::reap(bool block) {
    if (pid_ <= 0 || exitStatus_) return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r != pid_) return false;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

std::optional<int> BrainProcess::waitExit(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!reap(false)) {
        const Millis left = remaining(deadline);
        if (left.count() == 0) return std::nullopt;
        // Keep draining the pipes so that a brain writing a lot cannot block.
        if (!pump(std::min(left, Millis{20}))) ::usleep(20000);
    }
    return exitStatus_;
}

const std::string& BrainProcess::errorOutput() {
    for (;;) {
        if (stderrFd_ < 0) break;
        pollfd probe{stderrFd_, POLLIN, 0};
        if (::poll(&probe, 1, 0) <= 0) break;
        pump(Millis{0});
    }
    return stderrBuffer_;
}

void BrainProcess::finish() {
    if (finished_) return;
    finished_ = true;
    if (pid_ <= 0) return;
    // End of input ends the brain; a clean exit lets a leak checker report.
    closeInput();
    if (!waitExit(Millis{3000})) {
        ::kill(pid_, SIGKILL);
        reap(true);
    }
    // Collect what is left of standard error; a helper process (wine's
    // server) may hold the pipe open, so do not wait for its end for long.
    const auto deadline = Clock::now() + Millis{2000};
    while (stderrFd_ >= 0 && remaining(deadline).count() > 0) pump(remaining(deadline));
    closeFd(stdoutFd_);
    closeFd(stderrFd_);
    const std::string report = findSanitizerReport(stderrBuffer_);
    if (!report.empty()) ADD_FAILURE() << "the brain reported a sanitizer error:\n" << report;
}

std::optional<std::pair<int, int>> parseMove(std::string_view line) {
    auto number = [&line](int& value) {
        std::size_t i = 0;
        bool negative = false;
        if (i < line.size() && line[i] == '-') negative = true, ++i;
        const std::size_t digits = i;
        long long v = 0;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && i - digits < 9; ++i) v = v * 10 + (line[i] - '0');
        if (i == digits) return false;
        value = static_cast<int>(negative ? -v : v);
        line.remove_prefix(i);
        return true;
    };
    int x, y;
    if (!number(x) || line.empty() || line[0] != ',') return std::nullopt;
    line.remove_prefix(1);
    if (!number(y) || !line.empty()) return std::nullopt;
    return std::make_pair(x, y);
}

}  // namespace morrow::test
