#include <chrono>

#include "engine.h"

long long TimeLimitMs = 4500;
long long ManagerLimitMs = -1;
long long ActiveLimitMs = -1;
long long start_t;
bool timeup;
long long Nodes;
long long NodeLimit = 0;
std::atomic<bool> StopRequested{false};

namespace {
long long steadyClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

long long (*ClockSource)() = steadyClockMs;

long long clockMs() { return ClockSource(); }

long long turnLimitMs() {
    long long limit = TimeLimitMs;
    if (ManagerLimitMs > 0 && (limit < 0 || ManagerLimitMs < limit)) limit = ManagerLimitMs;
    return limit;
}

void startTurnClock(bool quick) {
    start_t = clockMs();
    timeup = false;
    Nodes = 0;
    ActiveLimitMs = quick ? -1 : turnLimitMs();
}

void stopTurnClock() { ActiveLimitMs = -1; }

bool turnMustStop() {
    if (NodeLimit > 0 && Nodes >= NodeLimit) return true;
    if (StopRequested.load(std::memory_order_relaxed)) return true;
    if (ActiveLimitMs < 0) return false;
    return clockMs() - start_t > ActiveLimitMs;
}

namespace {
// A VCF search asks every so many calls whether the turn must stop, so that
// a board full of threes cannot keep a turn past its limit; once it must,
// every call unwinds.
constexpr int CallsBetweenClockReads = 64;
int callsSinceClockRead;
}  // namespace

void restartVcfClockReads() { callsSinceClockRead = 0; }

bool vcfMustStop() {
    if (timeup) return true;
    if (++callsSinceClockRead < CallsBetweenClockReads) return false;
    callsSinceClockRead = 0;
    if (turnMustStop()) timeup = true;
    return timeup;
}
