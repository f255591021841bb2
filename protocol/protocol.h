// The manager protocol: one command per input line, one reply per output
// line. The main thread reads and dispatches; a worker thread searches.
#pragma once

#include "board_size.h"
#include "os.h"
#include "output.h"

struct IterationStats;
struct LiveReport;
enum class GameRule;
struct Swap2Stones;
namespace deep {
struct TurnClock;
}

constexpr int CommandBufferSize = 256;

extern char cmd[CommandBufferSize];
extern const char* infotext;
// INFO settings. turn_settings.cpp hands them to the engine.
extern int info_max_memory;
extern int info_timeout_turn;
extern int info_timeout_match;
extern int info_time_left;
// Any of timeout_turn, timeout_match and time_left has come.
extern bool info_time_given;
extern int info_max_depth;
extern int info_max_node;
extern int info_show_detail;
// The rule bits: 1 exact five, 2 continuous game (the manager's business),
// 4 renju, 8 caro; the last value before a move request is played.
extern int info_rule;
constexpr int KnownRuleBits = 1 | 2 | 4 | 8;
// Stored only: Morrow plays one game type and reads no files.
extern int info_game_type;
extern int info_exact5;
extern int info_continuous;
extern int info_renju;
extern char dataFolder[CommandBufferSize];

extern AutoResetEvent& event1;    // think now
extern ManualResetEvent& event2;  // worker idle

// ---- parse.cpp
const char* get_cmd_param(const char* name, const char* line);
bool parse_coord(const char* text, int* x, int* y);
void parse_3int_chk(const char* text, int* x, int* y, int* who);
// A stone line of SWAP2BOARD, "x,y" or "x,y,c" (the colour follows from the
// order, so c is not read); false for anything else. The cell may be off
// the board.
bool parse_swap2_stone(const char* text, int* x, int* y);
bool scan_int(const char*& text, int& value);
bool scan_start_size(const char* text, int& size);
bool scan_rectstart_size(const char* text, int& w, int& h);
int parse_info_value(const char* text);

// ---- commands.cpp
// Where input characters come from (EOF at end); standard input by default.
extern int (*ReadChar)();
// Reads the next line into cmd; false at end of input.
bool get_line();
// When the main thread last started on a run of commands that were waiting
// for it (clockMs): a manager's clock runs from about then, however long
// the commands before a turn took.
extern long long BusySinceMs;
void do_mymove(int x, int y);
void turn();
void stop();
void start();
// The line closes a list (DONE, any case).
bool is_done_line(const char* line);
// Handles the line in cmd; false when the process should end (END, or end
// of input inside a BOARD list).
bool do_command();
// Reads and handles commands until END or end of input.
void command_loop();

// ---- turn_settings.cpp: what the INFO settings let a turn use.
long long manager_time_limit_ms();
int hash_bits_for_memory(long long max_memory);
// What the deep engine's table takes under a memory limit (0: none), for
// turns of `turn_ms` (0 or less: no turn limit known).
// `hash_kb` (INFO hash_size, 0: none) asks for a size of its own.
long long deep_table_bytes(long long max_memory, long long turn_ms, long long hash_kb = 0);
// INFO max_depth (or the executable) asks for deep turns.
bool deep_turns_wanted();
// Frees tables above what max_memory allows, before a game is announced.
void fit_tables_to_memory();
// Hands the settings to the engine before a move is asked for; a deep turn
// that ranks that many root moves (YXNBEST) when above 1.
void prepare_turn(int rankedMoves = 1);
// YXHASHCLEAR: the deep engine's table and move-ordering history emptied.
void clear_search_memory();
// Once max_memory is known and the worker is idle: allocates the tables and
// has a thread of their own bring their pages in, so that the first turn
// finds them ready. Nothing waits for it.
void prepare_tables_while_idle();
// INFO rule: deep mode's tables for the rule are built at once.
void prepare_rule(int bits);
// STOP: a search in progress answers at its next step, without a wait.
void request_stop();

// The deepest iteration INFO max_depth asks for (0: the executable's default).
int search_depth_for(int max_depth);
// The manager's clock as a deep turn plans with it.
deep::TurnClock turn_clock();
// What a swap2 decision may take of the manager's clock, in milliseconds
// (0: answer at once).
long long swap2_time_limit_ms();
// The table of a swap2 decision's engine: what max_memory leaves beside the
// tables of the executable's turns (deep or default ones), 16 MiB at most.
long long swap2_table_bytes(long long max_memory, bool deep);
// Hands the settings to the engine before a swap2 decision is asked for.
void prepare_swap2();

// ---- yixin.cpp: the commands of analysis boards (the Yixin protocol).
// YXSHOWINFO has come: an analysis board drives Morrow. Commands Morrow does
// not know get no answer then, and a command that waits for the worker
// stops its search first.
extern bool gui_mode;
// INFO thread_num, within 1 .. the hardware threads.
extern int info_thread_num;
// INFO hash_size: the deep table in KB; 0: as max_memory and the clock give.
extern int info_hash_size;
int clamp_thread_num(int value);
// The largest table a board may ask for, 2^n KB.
int largest_hash_size_log2();
// The YXBLOCK list as the cells the next turn avoids.
void apply_block_list();
// As a new process has it: no board, one thread, no YXBLOCK list.
void forget_analysis_board();
enum class YixinResult { Handled, NotOne, EndOfInput };
YixinResult do_yixin_command();

// ---- worker.cpp
void threadLoop();
void startWorker();
// The thread that brings the tables' pages in (main thread only): started
// on allocated tables, stopped (and waited for, a chunk at most) before
// anything frees or resizes them.
void start_table_preparation();
void stop_table_preparation();
// Builds the deep engine's tables for the rule on a thread of their own; a
// turn that needs them first waits for them.
void prepare_rule_in_background(GameRule rule);
// Asks the turn driver for the move, places it, records it and writes it.
void brain_turn();
// The SWAP2BOARD the worker answers next instead of a move. Set by the main
// thread while the worker is idle.
extern bool swap2Asked;
extern Swap2Stones swap2Stones;
// Asks for the swap2 decision, sets the board up as it leaves the game and
// writes the answer.
void brain_swap2();
// What an analysis board shows of a deep turn as it runs.
void report_live(const LiveReport& report);
// INFO show_detail: one MESSAGE line per iteration.
void report_iteration(const IterationStats& iteration, long long turnNodes, long long turnMs);
