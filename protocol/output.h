// The reply writer: every reply line goes through it, from either thread.
#pragma once

#include <atomic>
#include <cstddef>

// Writes one whole reply line, printf-style, and flushes it. Safe to call
// from both threads: lines never interleave.
int pipeOut(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Where reply lines go (text without its "\n"); standard output by default.
extern void (*ReplySink)(const char* text, std::size_t length);
// Lines written so far: what the manager sends after one may be its answer.
extern std::atomic<long long> RepliesWritten;
// Flushes what was written and ends the process with status 0.
[[noreturn]] void exitProcess();
