// The two events between the main thread and the worker.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "protocol/os.h"

namespace {

using namespace std::chrono_literals;

// Waits until `counter` reaches `target`, at most a few seconds.
bool reaches(const std::atomic<int>& counter, int target) {
    for (int i = 0; i < 2000 && counter.load() < target; ++i) std::this_thread::sleep_for(1ms);
    return counter.load() >= target;
}

TEST(AutoResetEvent, EachSignalLetsExactlyOneWaitThrough) {
    AutoResetEvent event;
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            event.wait();
            ++passed;
        });

    for (int released = 1; released <= 3; ++released) {
        event.signal();
        EXPECT_TRUE(reaches(passed, released));
        // A second waiter must not slip through on the same signal.
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(passed.load(), released);
    }
    for (std::thread& t : waiters) t.join();
}

TEST(AutoResetEvent, SignalBeforeTheWaitIsKeptOnce) {
    AutoResetEvent event;
    event.signal();
    event.signal();  // not counted: the event is simply signalled
    event.wait();    // passes at once

    std::atomic<int> passed{0};
    std::thread waiter([&] {
        event.wait();
        ++passed;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(passed.load(), 0);
    event.signal();
    waiter.join();
    EXPECT_EQ(passed.load(), 1);
}

TEST(ManualResetEvent, StaysSignalledUntilReset) {
    ManualResetEvent event(true);
    event.wait();
    event.wait();

    event.reset();
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            event.wait();
            ++passed;
        });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(passed.load(), 0);
    // One signal releases every waiter, and later waits pass too.
    event.signal();
    for (std::thread& t : waiters) t.join();
    EXPECT_EQ(passed.load(), 3);
    event.wait();
}

TEST(ManualResetEvent, CreatedNotSignalledBlocks) {
    ManualResetEvent event(false);
    std::atomic<bool> passed{false};
    std::thread waiter([&] {
        event.wait();
        passed = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(passed.load());
    event.signal();
    waiter.join();
    EXPECT_TRUE(passed.load());
}

// The hand-over the worker relies on: "think" released once per request,
// "idle" seen by the main thread only after the work is done.
TEST(Events, RequestAndIdleHandOver) {
    AutoResetEvent think;
    ManualResetEvent idle(true);
    int work = 0;  // guarded by the hand-over alone
    std::atomic<bool> quit{false};
    std::thread worker([&] {
        for (;;) {
            think.wait();
            if (quit) return;
            ++work;
            idle.signal();
        }
    });
    for (int i = 1; i <= 200; ++i) {
        idle.wait();
        EXPECT_EQ(work, i - 1);
        idle.reset();
        think.signal();
    }
    idle.wait();
    EXPECT_EQ(work, 200);
    quit = true;
    think.signal();
    worker.join();
}

}  // namespace
