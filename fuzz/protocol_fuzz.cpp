// libFuzzer target: the input is what a manager would write to the brain's
// standard input. It runs through the real command loop and the real worker,
// with replies kept off the terminal. Besides the sanitizers, any move the
// engine writes that is not a legal cell of the announced board aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "brain/brain.h"
#include "engine/engine.h"
#include "protocol/protocol.h"

namespace {

// Short inputs and few searches per input keep executions fast.
constexpr std::size_t MaxInputBytes = 4096;
constexpr int MaxMoveRequests = 8;
constexpr long long FuzzTurnLimitMs = 5;

std::thread::id mainThread;
// MORROW_FUZZ_ECHO=1 shows the replies on stderr, to follow a reproducer.
bool echoReplies;

const std::uint8_t* input;
std::size_t inputLength;
std::size_t inputPos;

int readInput() {
    if (inputPos >= inputLength) return EOF;
    return input[inputPos++];
}

bool startsWithNoCase(const std::uint8_t* line, std::size_t length, const char* word) {
    std::size_t i = 0;
    for (; word[i]; ++i) {
        if (i >= length) return false;
        const char c = static_cast<char>(line[i]);
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != word[i]) return false;
    }
    return true;
}

// Where the input is cut so that at most MaxMoveRequests lines can ask the
// engine to think. Any line that the dispatcher could take as TURN, BEGIN,
// BOARD or SWAP2BOARD counts, also one that really ends a BOARD list.
std::size_t lengthWithinMoveBudget(const std::uint8_t* data, std::size_t size) {
    int requests = 0;
    for (std::size_t lineStart = 0; lineStart < size;) {
        const std::uint8_t* end = static_cast<const std::uint8_t*>(std::memchr(data + lineStart, '\n', size - lineStart));
        const std::size_t lineEnd = end ? static_cast<std::size_t>(end - data) : size;
        const std::uint8_t* line = data + lineStart;
        const std::size_t length = lineEnd - lineStart;
        if (startsWithNoCase(line, length, "turn") || startsWithNoCase(line, length, "begin") ||
            startsWithNoCase(line, length, "board") || startsWithNoCase(line, length, "swap2board") ||
            startsWithNoCase(line, length, "yxnbest")) {
            if (++requests > MaxMoveRequests) return lineStart;
        }
        lineStart = lineEnd + 1;
    }
    return size;
}

[[noreturn]] void illegalMove(const char* why, const char* text, std::size_t length) {
    std::fprintf(stderr, "==morrow-fuzz== illegal move (%s): \"%.*s\" on a %dx%d board\n", why,
                 static_cast<int>(length), text, width, height);
    std::abort();
}

bool anyFreeCell() {
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            if (myboard[x][y] == 0) return true;
    return false;
}

// The move line as the worker writes it: "x,y" and nothing after.
bool parseMoveLine(const char* text, std::size_t length, int& x, int& y) {
    char line[64];
    if (length == 0 || length >= sizeof line) return false;
    std::memcpy(line, text, length);
    line[length] = '\0';
    char tail;
    return std::sscanf(line, "%d,%d%c", &x, &y, &tail) == 2;
}

bool startsWith(const char* text, std::size_t length, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    return length >= n && std::memcmp(text, prefix, n) == 0;
}

// A swap2 answer beyond a move: SWAP, or two or three distinct cells of
// the board.
bool legalSwap2Answer(const char* text, std::size_t length) {
    if (length == 4 && std::memcmp(text, "SWAP", 4) == 0) return true;
    char line[64];
    if (length == 0 || length >= sizeof line) return false;
    std::memcpy(line, text, length);
    line[length] = '\0';
    int cells[3][2];
    int consumed = 0;
    const int fields = std::sscanf(line, "%d,%d %d,%d %d,%d%n", &cells[0][0], &cells[0][1], &cells[1][0], &cells[1][1],
                                   &cells[2][0], &cells[2][1], &consumed);
    if (fields != 6 || consumed != static_cast<int>(length)) {
        consumed = 0;
        if (std::sscanf(line, "%d,%d %d,%d%n", &cells[0][0], &cells[0][1], &cells[1][0], &cells[1][1], &consumed) != 4 ||
            consumed != static_cast<int>(length))
            return false;
    }
    const int count = fields == 6 && consumed == static_cast<int>(length) ? 3 : 2;
    for (int i = 0; i < count; ++i) {
        const int x = cells[i][0], y = cells[i][1];
        if (x < 0 || y < 0 || x >= width || y >= height) return false;
        for (int j = 0; j < i; ++j)
            if (cells[j][0] == x && cells[j][1] == y) return false;
    }
    return true;
}

// The worker writes only its move, perhaps after "ERROR my move [x,y]", the
// MESSAGE lines of show_detail, an analysis board's realtime and ranked
// lines, or its swap2 answer. The main thread waits for it before
// touching the position, so reading the size and myboard here is race-free.
void checkReply(const char* text, std::size_t length) {
    const bool fromWorker = std::this_thread::get_id() != mainThread;
    if (echoReplies) std::fprintf(stderr, "%s %.*s\n", fromWorker ? "worker:" : "main:  ", static_cast<int>(length), text);
    if (!fromWorker || startsWith(text, length, "MESSAGE depth ") || startsWith(text, length, "MESSAGE swap2 ") ||
        startsWith(text, length, "MESSAGE REALTIME ") || startsWith(text, length, "MESSAGE ("))
        return;
    static constexpr char TakenCell[] = "ERROR my move";
    if (length >= sizeof TakenCell - 1 && std::memcmp(text, TakenCell, sizeof TakenCell - 1) == 0) {
        // On a full board no legal move exists; anything else is the engine's fault.
        if (anyFreeCell()) illegalMove("not a free cell of the board", text, length);
        return;
    }
    int x, y;
    if (!parseMoveLine(text, length, x, y)) {
        if (legalSwap2Answer(text, length)) return;
        illegalMove("not a move line", text, length);
    }
    if (x < 0 || y < 0 || x >= width || y >= height) illegalMove("off the board", text, length);
}

// A fresh process: no game announced, default INFO, empty boards.
void resetToFreshProcess() {
    width = height = 0;
    info_max_memory = 0;
    info_timeout_turn = 30000;
    info_timeout_match = 1000000000;
    info_time_left = 1000000000;
    info_time_given = false;
    info_game_type = 1;
    info_exact5 = 0;
    info_continuous = 0;
    info_renju = 0;
    info_rule = 0;
    info_max_depth = 0;
    info_max_node = 0;
    info_show_detail = 0;
    forget_analysis_board();
    dataFolder[0] = '\0';
    cmd[0] = '\0';
    for (auto& column : myboard)
        for (int& cell : column) cell = 0;
    for (auto& column : board)
        for (int& cell : column) cell = 0;
    openPlayingArea(BoardSize, BoardSize);
    init();
    resetRandom();
    ManagerLimitMs = -1;
    HashBits = DefaultHashBits;
}

}  // namespace

// Present in a build with -fprofile-instr-generate (a coverage report).
extern "C" int __llvm_profile_write_file() __attribute__((weak));

namespace {

// The worker waits on event1 for ever, and destroying a condition variable
// that has a waiter blocks; so leave without running static destructors,
// keeping the status that libFuzzer asked for.
void leaveAtOnce(int status, void*) {
    if (__llvm_profile_write_file) __llvm_profile_write_file();
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    on_exit(leaveAtOnce, nullptr);
    mainThread = std::this_thread::get_id();
    echoReplies = std::getenv("MORROW_FUZZ_ECHO") != nullptr;
    ReadChar = readInput;
    ReplySink = checkReply;
    TimeLimitMs = FuzzTurnLimitMs;
    startWorker();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > MaxInputBytes) size = MaxInputBytes;
    resetToFreshProcess();
    input = data;
    inputLength = lengthWithinMoveBudget(data, size);
    inputPos = 0;

    command_loop();
    // The transposition tables stay, as they do from game to game in one process.
    stop();
    return 0;
}
