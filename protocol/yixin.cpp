// The commands of analysis boards (the Yixin protocol) beside the Gomocup
// ones: positions set up without a move, renju's forbidden cells, cells the
// search keeps off, the N best moves, and the board's own settings.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "../brain/brain.h"
#include "../engine/engine.h"
#include "protocol.h"

bool gui_mode = false;
int info_thread_num = 1;
int info_hash_size = 0;

namespace {

// The table sizes a board may offer, as powers of two of KB: up to 2 GiB.
constexpr int LargestHashSizeLog2 = 21;
// YXNBEST ranks at most this many moves: each costs a search of its own.
constexpr int MostRankedMoves = 10;

// The cells YXBLOCK listed, in order, so that YXBLOCKUNDO takes back the last.
cellpos blockedCells[CellCount];
int blockedCount = 0;

// The line's first word is `name` (any case); what follows it, blanks
// skipped. Unlike the Gomocup commands these must match whole: YXBLOCK is
// the start of YXBLOCKUNDO.
const char* commandWord(const char* name, const char* line) {
    const char* param = get_cmd_param(name, line);
    if (!param) return nullptr;
    const char after = line[std::strlen(name)];
    return after == '\0' || after == ' ' || after == '\t' ? param : nullptr;
}

struct StoneLine {
    int x, y, who;
};

enum class List { Read, Refused, EndOfInput };

// Reads the lines of a list up to DONE. Each is handed to `take`, which
// refuses it by writing the error line into `error` and answering true.
// Only the first error is written: the list is refused whole.
template <typename Take>
List readList(Take take) {
    char error[96];
    bool refused = false;
    for (;;) {
        if (!get_line()) return List::EndOfInput;
        if (is_done_line(cmd)) break;
        if (!refused) refused = take(cmd, error, sizeof error);
    }
    if (!refused) return List::Read;
    pipeOut("%s", error);
    return List::Refused;
}

unsigned hardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}

// YXBOARD: the whole position, with no move asked for. A refused list
// leaves the position as it was.
bool setBoard() {
    start();
    static StoneLine stones[CellCount];
    static bool taken[MaxBoardSize][MaxBoardSize];
    for (auto& column : taken)
        for (bool& cell : column) cell = false;
    int count = 0;
    const List list = readList([&](const char* line, char* error, std::size_t size) {
        StoneLine s{};
        parse_3int_chk(line, &s.x, &s.y, &s.who);
        if (s.who != 1 && s.who != 2) {
            std::snprintf(error, size, "ERROR x,y,who or DONE expected after YXBOARD");
            return true;
        }
        if (taken[s.x][s.y]) {
            std::snprintf(error, size, "ERROR YXBOARD stone %d,%d on an occupied cell", s.x, s.y);
            return true;
        }
        taken[s.x][s.y] = true;
        stones[count++] = s;
        return false;
    });
    if (list != List::Read) return list != List::EndOfInput;
    brain_clear();
    for (int i = 0; i < count; ++i) {
        if (stones[i].who == 1) brain_my(stones[i].x, stones[i].y);
        else brain_opponents(stones[i].x, stones[i].y);
    }
    return true;
}

// YXBLOCK: cells the next searches must not play, added to the list.
bool addBlockedCells() {
    start();
    cellpos cells[CellCount];
    int count = 0;
    const List list = readList([&](const char* line, char* error, std::size_t size) {
        int x, y;
        if (!parse_coord(line, &x, &y)) {
            std::snprintf(error, size, "ERROR x,y or DONE expected after YXBLOCK");
            return true;
        }
        if (myboard[x][y] != 0) {
            std::snprintf(error, size, "ERROR YXBLOCK cell %d,%d is occupied", x, y);
            return true;
        }
        if (count < CellCount) cells[count++] = {x, y};
        return false;
    });
    if (list != List::Read) return list != List::EndOfInput;
    for (int i = 0; i < count; ++i) {
        bool listed = false;
        for (int j = 0; j < blockedCount && !listed; ++j)
            listed = blockedCells[j].x == cells[i].x && blockedCells[j].y == cells[i].y;
        if (!listed && blockedCount < CellCount) blockedCells[blockedCount++] = cells[i];
    }
    return true;
}

void showForbidden() {
    start();
    static cellpos fouls[CellCount];
    const int count = ruleFromInfo(info_rule) == GameRule::Renju ? renjuFouls(fouls) : 0;
    char line[8 + 4 * CellCount + 2] = "FORBID ";
    int length = 7;
    // renjuFouls lists only cells of the announced board: the others are closed.
    for (int i = 0; i < count; ++i)
        length += std::snprintf(line + length, sizeof line - length, "%02d%02d", fouls[i].x, fouls[i].y);
    std::snprintf(line + length, sizeof line - length, ".");
    pipeOut("%s", line);
}

void askForRankedMoves(const char* param) {
    int n = 0;
    const char* text = param;
    if (!scan_int(text, n) || n < 1 || (*text != '\0' && *text != ' ' && *text != '\t')) {
        pipeOut("ERROR bad YXNBEST parameter");
        return;
    }
    start();
    prepare_turn(std::min(n, MostRankedMoves));
    turn();
}

}  // namespace

void apply_block_list() {
    for (auto& column : AvoidCell)
        for (bool& cell : column) cell = false;
    for (int i = 0; i < blockedCount; ++i) AvoidCell[blockedCells[i].x][blockedCells[i].y] = true;
}

void forget_analysis_board() {
    gui_mode = false;
    info_thread_num = 1;
    info_hash_size = 0;
    blockedCount = 0;
}

int clamp_thread_num(int value) { return std::clamp(value, 1, static_cast<int>(hardwareThreads())); }

int largest_hash_size_log2() { return LargestHashSizeLog2; }

YixinResult do_yixin_command() {
    const char* param;
    if (commandWord("yxshowinfo", cmd)) {
        gui_mode = true;
        pipeOut("MESSAGE INFO MAX_THREAD_NUM %u", hardwareThreads());
        pipeOut("MESSAGE INFO MAX_HASH_SIZE %d", LargestHashSizeLog2);
    } else if (commandWord("yxboard", cmd)) {
        if (!setBoard()) return YixinResult::EndOfInput;
    } else if (commandWord("yxshowforbid", cmd)) {
        showForbidden();
    } else if (commandWord("yxblock", cmd)) {
        if (!addBlockedCells()) return YixinResult::EndOfInput;
    } else if (commandWord("yxblockundo", cmd)) {
        if (blockedCount > 0) --blockedCount;
    } else if (commandWord("yxblockreset", cmd)) {
        blockedCount = 0;
    } else if (commandWord("yxhashclear", cmd)) {
        start();
        clear_search_memory();
    } else if ((param = commandWord("yxnbest", cmd))) {
        askForRankedMoves(param);
    } else if (commandWord("yxquerydatabaseall", cmd) || commandWord("yxquerydatabaseone", cmd)) {
        // Morrow keeps no database: the position that follows is read and
        // nothing is answered.
        if (readList([](const char*, char*, std::size_t) { return false; }) == List::EndOfInput)
            return YixinResult::EndOfInput;
    } else {
        return YixinResult::NotOne;
    }
    return YixinResult::Handled;
}
