// The manager protocol: one command per input line, one reply per output
// line. The main thread reads and dispatches; a worker thread searches.
#pragma once

#include <cstddef>

#include "os.h"

constexpr int CommandBufferSize = 256;

extern char cmd[CommandBufferSize];
extern int width;
extern int height;
extern const char* infotext;
extern int info_max_memory;
extern int info_timeout_turn;
extern int info_timeout_match;
extern int info_time_left;
extern int info_game_type;
extern int info_exact5;
extern int info_continuous;
extern int info_renju;
extern char dataFolder[CommandBufferSize];

extern AutoResetEvent& event1;    // think now
extern ManualResetEvent& event2;  // worker idle

// ---- output.cpp
// Writes one whole reply line, printf-style, and flushes it. Safe to call
// from both threads: lines never interleave.
int pipeOut(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Where reply lines go (text without its "\n"); standard output by default.
extern void (*ReplySink)(const char* text, std::size_t length);
// Flushes what was written and ends the process with status 0.
[[noreturn]] void exitProcess();

// ---- parse.cpp
const char* get_cmd_param(const char* name, const char* line);
bool parse_coord(const char* text, int* x, int* y);
void parse_3int_chk(const char* text, int* x, int* y, int* who);
bool scan_int(const char*& text, int& value);
bool scan_start_size(const char* text, int& size);
bool scan_rectstart_size(const char* text, int& w, int& h);
int parse_info_value(const char* text);

// ---- commands.cpp
// Where input characters come from (EOF at end); standard input by default.
extern int (*ReadChar)();
// Reads the next line into cmd; false at end of input.
bool get_line();
void do_mymove(int x, int y);
void turn();
void stop();
void start();
// Handles the line in cmd; false when the process should end (END, or end
// of input inside a BOARD list).
bool do_command();
// Reads and handles commands until END or end of input.
void command_loop();

// ---- worker.cpp
void threadLoop();
void startWorker();
