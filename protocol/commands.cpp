#include <algorithm>
#include <cstdio>
#include <cstring>

#include "../brain/brain.h"
#include "../engine/engine.h"
#include "protocol.h"

char cmd[CommandBufferSize];
int width;
int height;
const char* infotext =
    "name=\"Morrow\", author=\"The Morrow developers\", version=\"3.2\", country=\"Czech Republic\", "
    "www=\"\"";
int info_max_memory = 0;
int info_timeout_turn = 30000;
int info_timeout_match = 1000000000;
int info_time_left = 1000000000;
bool info_time_given = false;
int info_game_type = 1;
int info_exact5 = 0;
int info_continuous = 0;
int info_renju = 0;
int info_rule = 0;
int info_max_depth = 0;
int info_max_node = 0;
int info_show_detail = 0;
char dataFolder[CommandBufferSize];

// Never destroyed: the worker waits on them until the process ends, and a
// condition variable must not be destroyed while a thread waits on it.
AutoResetEvent& event1 = *new AutoResetEvent;
ManualResetEvent& event2 = *new ManualResetEvent(true);

namespace {
int readStdin() { return std::getchar(); }
}  // namespace

int (*ReadChar)() = readStdin;

long long BusySinceMs = -1;

namespace {
// A line read within this long of asking for it was waiting in the pipe.
constexpr long long QueuedLineMs = 10;
long long repliesAtLastLine = 0;
}  // namespace

bool get_line() {
    const long long askedAt = clockMs();
    int stored = 0;
    for (;;) {
        const int c = ReadChar();
        if (c == EOF) return false;
        if (stored < CommandBufferSize) cmd[stored++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    const long long readAt = clockMs();
    // A line that came after a wait, or after a reply it may answer, starts
    // a new run.
    const long long replies = RepliesWritten.load(std::memory_order_relaxed);
    if (BusySinceMs < 0 || readAt - askedAt > QueuedLineMs || replies != repliesAtLastLine) BusySinceMs = readAt;
    repliesAtLastLine = replies;
    // The last stored character (the "\n", or the 256th of a longer line)
    // gives way to the terminator, and so does a "\r" before it.
    cmd[--stored] = '\0';
    if (stored > 0 && cmd[stored - 1] == '\r') cmd[stored - 1] = '\0';
    return true;
}

void do_mymove(int x, int y) {
    brain_my(x, y);
    pipeOut("%d,%d", x, y);
}

void turn() {
    event2.reset();
    event1.signal();
}

void stop() {
    // An analysis board's search may run for ever: whatever comes next ends it.
    if (gui_mode) request_stop();
    event2.wait();
}

void start() {
    stop();
    if (!width) {
        width = height = 20;
        fit_tables_to_memory();
        brain_init();
    }
}

bool is_done_line(const char* line) { return get_cmd_param("done", line) && std::strlen(line) == 4; }

namespace {

void handleInfo(const char* text) {
    const char* value;
    if ((value = get_cmd_param("max_memory", text))) {
        info_max_memory = parse_info_value(value);
        prepare_tables_while_idle();
    }
    if ((value = get_cmd_param("timeout_match", text))) {
        info_timeout_match = parse_info_value(value);
        info_time_given = true;
    }
    if ((value = get_cmd_param("timeout_turn", text))) {
        info_timeout_turn = parse_info_value(value);
        info_time_given = true;
    }
    if ((value = get_cmd_param("time_left", text))) {
        info_time_left = parse_info_value(value);
        info_time_given = true;
    }
    if ((value = get_cmd_param("game_type", text))) info_game_type = parse_info_value(value);
    if ((value = get_cmd_param("rule", text))) {
        const int rule = parse_info_value(value);
        info_rule = rule;
        info_exact5 = rule & 1;
        info_continuous = (rule >> 1) & 1;
        info_renju = (rule >> 2) & 1;
        if (rule & ~KnownRuleBits)
            pipeOut("MESSAGE Morrow knows the rule bits 1, 2, 4 and 8 only: the others change nothing");
        prepare_rule(rule);
    }
    if ((value = get_cmd_param("max_depth", text))) info_max_depth = parse_info_value(value);
    if ((value = get_cmd_param("max_node", text))) info_max_node = parse_info_value(value);
    if ((value = get_cmd_param("show_detail", text))) info_show_detail = parse_info_value(value);
    if ((value = get_cmd_param("thread_num", text))) info_thread_num = clamp_thread_num(parse_info_value(value));
    if ((value = get_cmd_param("hash_size", text))) {
        info_hash_size = std::max(parse_info_value(value), 0);
        prepare_tables_while_idle();
    }
    if ((value = get_cmd_param("folder", text))) {
        std::strncpy(dataFolder, value, CommandBufferSize - 1);
        dataFolder[CommandBufferSize - 1] = '\0';
    }
}

// The size is only taken once the worker is idle: it reads it while it thinks.
void announceBoard(bool valid, int w, int h, bool rectangular) {
    stop();
    if (!valid) {
        width = height = 0;
        pipeOut(rectangular ? "ERROR bad RECTSTART parameters" : "ERROR bad START parameter");
        return;
    }
    width = w;
    height = h;
    fit_tables_to_memory();
    if (!brain_init()) width = height = 0;
}

void requestMove() {
    prepare_turn();
    turn();
}

// Reads "x,y,who" lines until one that is none; false at end of input.
// The list is the whole position: nothing of the one before it stays.
bool readBoardList() {
    brain_clear();
    for (;;) {
        if (!get_line()) return false;
        int x, y, who;
        parse_3int_chk(cmd, &x, &y, &who);
        if (who == 1)
            brain_my(x, y);
        else if (who == 2)
            brain_opponents(x, y);
        else if (who == 3)
            brain_block(x, y);
        else
            break;
    }
    if (!is_done_line(cmd)) pipeOut("ERROR x,y,who or DONE expected after BOARD");
    return true;
}

enum class Swap2List { Opening, Refused, EndOfInput };

// Reads SWAP2BOARD's stone lines up to DONE. Anything but an opening of
// 0, 3 or 5 distinct cells of the board is answered with one ERROR line;
// a line that is no stone ends the list there, as after BOARD.
Swap2List readSwap2List(Swap2Stones& stones) {
    stones.count = 0;
    int lines = 0;
    bool refused = false;
    for (;;) {
        if (!get_line()) return Swap2List::EndOfInput;
        if (is_done_line(cmd)) break;
        int x, y;
        if (!parse_swap2_stone(cmd, &x, &y)) {
            if (!refused) pipeOut("ERROR x,y or DONE expected after SWAP2BOARD");
            return Swap2List::Refused;
        }
        ++lines;
        if (refused) continue;
        if (x < 0 || y < 0 || x >= width || y >= height) {
            pipeOut("ERROR SWAP2BOARD stone %d,%d is off the board", x, y);
            refused = true;
            continue;
        }
        for (int i = 0; i < stones.count && !refused; ++i)
            if (stones.cell[i].x == x && stones.cell[i].y == y) {
                pipeOut("ERROR SWAP2BOARD stone %d,%d on an occupied cell", x, y);
                refused = true;
            }
        if (!refused && stones.count < 5) stones.cell[stones.count++] = {x, y};
    }
    if (refused) return Swap2List::Refused;
    if (lines != 0 && lines != 3 && lines != 5) {
        pipeOut("ERROR SWAP2BOARD expects 0, 3 or 5 stones, got %d", lines);
        return Swap2List::Refused;
    }
    return Swap2List::Opening;
}

}  // namespace

bool do_command() {
    const char* param;
    int x, y;
    if ((param = get_cmd_param("info", cmd))) {
        handleInfo(param);
    } else if ((param = get_cmd_param("start", cmd))) {
        int size = 0;
        const bool valid = scan_start_size(param, size) && size > 4;
        announceBoard(valid, size, size, false);
    } else if ((param = get_cmd_param("rectstart", cmd))) {
        int w = 0, h = 0;
        const bool valid = scan_rectstart_size(param, w, h) && w > 4 && h > 4;
        announceBoard(valid, w, h, true);
    } else if ((param = get_cmd_param("restart", cmd))) {
        start();
        brain_restart();
    } else if ((param = get_cmd_param("turn", cmd))) {
        start();
        if (parse_coord(param, &x, &y)) {
            brain_opponents(x, y);
            requestMove();
        } else {
            pipeOut("ERROR bad coordinates");
        }
    } else if ((param = get_cmd_param("play", cmd))) {
        start();
        if (parse_coord(param, &x, &y))
            do_mymove(x, y);
        else
            pipeOut("ERROR bad coordinates");
    } else if ((param = get_cmd_param("begin", cmd))) {
        start();
        requestMove();
    } else if ((param = get_cmd_param("about", cmd))) {
        pipeOut("%s", infotext);
    } else if ((param = get_cmd_param("end", cmd))) {
        stop();
        brain_end();
        return false;
    } else if ((param = get_cmd_param("board", cmd))) {
        start();
        if (!readBoardList()) return false;
        requestMove();
    } else if ((param = get_cmd_param("swap2board", cmd))) {
        start();
        Swap2Stones stones;
        const Swap2List list = readSwap2List(stones);
        if (list == Swap2List::EndOfInput) return false;
        if (list == Swap2List::Opening) {
            // The opening is the whole position; the answer places the stones.
            brain_clear();
            swap2Stones = stones;
            swap2Asked = true;
            prepare_swap2();
            turn();
        }
    } else if ((param = get_cmd_param("takeback", cmd))) {
        start();
        if (parse_coord(param, &x, &y) && brain_takeback(x, y) == 0)
            pipeOut("OK");
        else
            pipeOut("ERROR bad coordinates");
    } else if (get_cmd_param("stop", cmd) || get_cmd_param("yxstop", cmd)) {
        request_stop();
    } else {
        const YixinResult result = do_yixin_command();
        if (result == YixinResult::EndOfInput) return false;
        if (result == YixinResult::NotOne && !gui_mode) pipeOut("UNKNOWN command");
    }
    return true;
}

void command_loop() {
    while (get_line() && do_command()) {
    }
}
