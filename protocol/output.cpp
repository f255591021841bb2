#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "protocol.h"

namespace {

std::mutex outputMutex;

void writeToStdout(const char* text, std::size_t length) {
    std::fwrite(text, 1, length, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

void (*ReplySink)(const char* text, std::size_t length) = writeToStdout;
std::atomic<long long> RepliesWritten{0};

int pipeOut(const char* format, ...) {
    char small[512];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return length;
    }
    std::string large;
    const char* text = small;
    if (static_cast<std::size_t>(length) >= sizeof small) {
        large.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(large.data(), large.size(), format, again);
        text = large.c_str();
    }
    va_end(again);

    std::lock_guard<std::mutex> lock(outputMutex);
    ReplySink(text, static_cast<std::size_t>(length));
    RepliesWritten.fetch_add(1, std::memory_order_relaxed);
    return length;
}

void exitProcess() {
    // Taking the lock waits out a line the worker may be writing.
    outputMutex.lock();
    std::fflush(stdout);
    std::_Exit(0);
}
