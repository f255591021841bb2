// The small operating-system layer: events between the two threads, the
// console check and the set-up of the standard streams.
#pragma once

#include <condition_variable>
#include <mutex>

// Released waiters reset it: each signal lets exactly one wait through.
class AutoResetEvent {
public:
    void signal();
    void wait();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

// Stays signalled until reset; every wait passes while it is.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled) : signalled_(signalled) {}
    void signal();
    void reset();
    void wait();
    bool isSignalled();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
};

// True when standard input is an interactive console rather than a pipe.
bool stdinIsConsole();

// Replies must end in "\n" alone on every platform.
void useBinaryStdout();
