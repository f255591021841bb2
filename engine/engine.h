// The search engine: board and line tables, hashing and the transposition
// table, evaluation, move ordering, fours and VCF, alpha-beta and the turn
// driver. All state is global and fixed-size; nothing here allocates during
// a search and nothing reads the protocol's state.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "deep/time_plan.h"

// ---------------------------------------------------------------- board.cpp

constexpr int BoardSize = 20;
constexpr int CellCount = BoardSize * BoardSize;
constexpr int FiveWindowCount = 1152;
constexpr int SixWindowCount = 1050;
constexpr int MaxWindowsPerCell = 20;

// Windows of `length` cells: each start from which the line stays on the
// grid, in the four directions.
constexpr int windowCount(int length) {
    const int starts = BoardSize - length + 1;
    return 2 * BoardSize * starts + 2 * starts * starts;
}
static_assert(FiveWindowCount == windowCount(5) && SixWindowCount == windowCount(6),
              "the window counts follow from BoardSize");
static_assert(MaxWindowsPerCell == 4 * 5, "a cell lies in at most five five-cell windows per direction");

// Stone codes on `board`. A window sum a - 400*b tells both counts at once.
constexpr int MyStone = 1;
constexpr int OpponentStone = -400;

struct cellpos {
    int x;
    int y;
};

struct onemove {
    int x;
    int y;
    int value;
};

extern int board[BoardSize][BoardSize];
extern int Win[2][FiveWindowCount];
extern cellpos Win2Point[FiveWindowCount][5];
extern int Point2Win[BoardSize][BoardSize][MaxWindowsPerCell];
extern int PointCount[BoardSize][BoardSize];
extern cellpos Six2Point[SixWindowCount][6];
extern std::uint64_t randomkey[BoardSize][BoardSize][2];
extern std::uint64_t nowhash;

// Cells the engine may neither play nor count as room for a line: those
// outside the announced board and blocked cells. A window touching one is
// dead for both sides, like a window that would run off the 20 x 20 grid.
extern bool Closed[BoardSize][BoardSize];
extern bool DeadFive[FiveWindowCount];

inline int sideIndex(int side) { return side == MyStone ? 0 : 1; }
inline int otherSide(int side) { return -side - 399; }

void init();
// Ruled: the instantiation for every rule but free-style (rules.cpp); the
// free-style search never pays for what the other rules need to know.
template <bool Ruled = false> void MakeMove(int x, int y, int side);
template <bool Ruled = false> void unMakeMove(int x, int y, int side);
bool check_over();
// Side index k has an open three whose straight-four cell it may play.
bool hasPlayableOpenThree(int k);

// ---- Incremental line state, kept by MakeMove / unMakeMove (and, for the
// threes and fours, by the trial stones of vcf) so that no window sum has to
// be recomputed during the search. After init() it describes the empty
// board, like `Win`, until the stones are replayed.

constexpr int WindowWords = (FiveWindowCount + 63) / 64;
static_assert(WindowWords <= 32, "ThreeWords has one bit per word of ThreeSet");

extern int Sum5[FiveWindowCount];  // board sum over each five-cell window
// Live windows holding exactly n (1..4) stones of side index k and no other
// stone; within vcf only the attacker's n = 4 follows the trial stones.
extern int Tally[2][5];
extern int FiveCount[2];                           // windows with five of side k
extern std::uint64_t ThreeSet[2][WindowWords];     // live three windows, by number
extern std::uint32_t ThreeWords[2];                // bit i: word i of ThreeSet is not 0
// Per-cell tables below are indexed by cell = x * 20 + y.
extern int LineTotal[2][CellCount];                // ordering weight of 1..3-stone windows
extern int FourTotal[2][CellCount];                // four windows through the cell
extern int OpenThreeCount[2];                      // six-cell windows forming an open three
extern int NearCount[CellCount];                   // stones within two rows and columns
extern int Candidate[CellCount];                   // 1: empty, open, a stone near

// MakeMove and unMakeMove for a child that is only evaluated: they keep
// what evaluate and check_over read and leave the rest alone.
template <bool Ruled = false> void MakeLeafMove(int x, int y, int side);
template <bool Ruled = false> void unMakeLeafMove(int x, int y, int side);

extern int LiveWindows[CellCount][MaxWindowsPerCell];  // the live windows through a cell
extern int LiveCount[CellCount];

// Writes a trial stone (or 0) straight into `board`, keeping the window sums
// and the attacker's threes and fours in step (side index `attacker`); the
// rest is left alone and is right again once vcf has undone every trial.
template <bool Ruled = false> void setTrialStone(int x, int y, int code, int attacker);

// Closes every cell outside width x height and opens every cell inside it
// (blocks included). The dead-window flags follow at the next init().
void openPlayingArea(int width, int height);
void setCellClosed(int x, int y, bool closed);

// ---------------------------------------------------------------- rules.cpp
// The rule of the game. Free-style is the engine's own; every other rule
// plays through the Ruled instantiation of the line state and the search,
// which reads the per-side settings below.

enum class GameRule { FreeStyle, ExactFive, Renju, Caro };
extern GameRule Rule;
// Per side index: only exactly five in a row wins (exact five for both
// sides, renju for black).
extern bool ExactFiveFor[2];
// Caro: exactly five with an opponent stone just beyond each end wins nothing.
extern bool BlockedFiveLoses;
// The side index whose double threes, double fours and overlines are fouls
// (renju black); -1 when nobody's are.
extern int FoulSide;

// What the bits of INFO rule ask for: renju over caro over exact five.
GameRule ruleFromInfo(int bits);
// Sets the turn's per-side settings; blackIndex is the side index of the
// side that moved first.
void setGameRule(GameRule rule, int blackIndex);
// Black is the side that moved first: Morrow (side index 0) is black when
// it has as many stones on `board` as its opponent.
int blackSideIndex();

// What lies just beyond each end of a five-cell window: a board cell, or a
// cell that always reads 0 off the grid. Laid out by init().
extern const int* FlankStone[FiveWindowCount][2];
constexpr int MaxFlankedWindows = 8;
extern int FlankedWindows[CellCount][MaxFlankedWindows];  // windows a cell lies just beyond
extern int FlankedCount[CellCount];

// True when side index k can never win with a five in window w, whatever
// comes inside it: an own stone beyond an end makes any five there an
// overline, and under caro two opponent stones beyond its ends block it.
inline bool windowBarred(int k, int w) {
    const int a = *FlankStone[w][0], b = *FlankStone[w][1];
    const int own = k == 0 ? MyStone : OpponentStone;
    if (ExactFiveFor[k] && (a == own || b == own)) return true;
    const int opp = otherSide(own);
    return BlockedFiveLoses && a == opp && b == opp;
}

enum class Foul { None, DoubleThree, DoubleFour, Overline };
// What a stone of the fouling side on the empty cell (x, y) would be, read
// from `board`; a move that makes exactly five is no double three or double
// four, but an overline in another line still makes it a foul.
Foul foulAt(int x, int y);
// True when `side` may not play the empty cell (x, y) under the turn's rule.
bool isFoul(int x, int y, int side);
// The open cells of `board` where black, to move under renju, would foul,
// x-major; their count.
int renjuFouls(cellpos (&cells)[CellCount]);

// ----------------------------------------------------------------- hash.cpp

struct hashentry {
    std::uint64_t key;
    std::int32_t value;
    std::int32_t depth;
};
static_assert(sizeof(hashentry) == 16, "a table entry is 16 bytes");

constexpr int HashMiss = 33333;
constexpr int DefaultHashBits = 22;
constexpr int MinHashBits = 10;

extern hashentry* hashp[2];
extern std::uint64_t HashMask;
// log2 of the entries wanted per table; lowered to fit a memory limit.
extern int HashBits;
// Zeroing allocator of the tables (released with free); tests replace it
// to make it fail.
extern void* (*HashAllocate)(std::size_t count, std::size_t size);

// The key generator: 15-bit results, never reseeded during play.
int nextRandom();
void resetRandom();
extern int (*RandomSource)();

std::uint64_t rand64();
// New keys, and tables as fresh as newly zero-filled ones.
void initRandomkey();
void freshHashTables();
void releaseHashTables();
// The tables HashBits asks for are there.
bool hashTablesAsWanted();
// Allocates them when they are not (untouched zero pages).
void allocateWantedHashTables();
// Brings in the small tables a turn uses while the big ones' pages are
// coming; once, as the program starts.
void touchStandInTables();
// The turn is over: the pages may come again.
void endStandInTurn();
// Brings every page of the tables in, chunk by chunk; stops between chunks
// once `cancel` is set, and says whether it got to the end. Safe while a search uses the tables: it writes nothing of
// theirs. The caller keeps the tables from being freed or resized meanwhile.
bool populateHashTables(const std::atomic<bool>& cancel);
// Frees tables larger than HashBits allows, so that a lower memory limit
// holds at once; the next turn allocates the tables it wants.
void shrinkHashTables();
// The table of the side to move, at the slot of the position on the board
// (nowhash): an entry belongs to the position it was stored at, and `key`
// is only compared and stored. The search always passes nowhash as `key`,
// so the slot is also the key's; the tests hold the two functions to the
// position's slot, and no caller needs another.
int lookupHashValue(int side, std::uint64_t key, int depth);
void putinHashValue(int side, std::uint64_t key, int value, int depth);
// Starts fetching the entry that a lookup will read once the position's
// key is `key`: a child's, before its move is made.
void prefetchHashEntry(int side, std::uint64_t key);

// ------------------------------------------------------------- evaluate.cpp

template <bool Ruled = false> int evaluate(int side);

// ------------------------------------------------------------- ordering.cpp

void SortMoves(int side, onemove* list);
// The cells a search node tries, in SortMoves order. Most nodes cut off
// after a few moves, so the order is found lazily: CandidateKeys gives every
// cell a key (-1 for a cell not tried), TakeBestCandidate removes and returns
// the next cell in order, or -1 when none is left.
constexpr int CandidateKeyCount = CellCount + BoardSize;
void CandidateKeys(int side, int* keys);  // keys: CandidateKeyCount entries
int TakeBestCandidate(int* keys);
void mergeSort(onemove* list, int low, int high);
void merge(onemove* list, int low, int mid, int high);

// ---------------------------------------------------------------- clock.cpp
// What a turn may spend and what it has spent. The search asks
// turnMustStop() before every move it tries, vcf every 64 calls; once it
// says yes, `timeup` is set and every node still running returns at its
// next step. Time, nodes and a STOP all cut a turn the same way.

// The engine's own cap on a turn, in milliseconds; negative lifts it.
extern long long TimeLimitMs;
// What the manager's clock allows this turn, already less the safety
// margins: negative means no limit, 0 means one quick iteration and answer.
extern long long ManagerLimitMs;
// The limit in force during the current turn; negative: the clock is not read.
extern long long ActiveLimitMs;
extern long long start_t;  // when the turn began, in clockMs() milliseconds
extern bool timeup;
extern long long Nodes;  // alphabeta calls of the turn so far
// The turn stops once it has searched this many nodes; 0: no limit.
extern long long NodeLimit;
// Set from the main thread when the manager says STOP, cleared by it before
// a move is asked for.
extern std::atomic<bool> StopRequested;

// Milliseconds of a monotonic clock; tests replace the source to cut a turn
// at a chosen point.
long long clockMs();
extern long long (*ClockSource)();
long long turnLimitMs();  // negative: no limit
// Starts the turn's clock and counts; a quick turn (one whole iteration) is
// never cut.
void startTurnClock(bool quick);
// The limit holds during the turn only.
void stopTurnClock();
// True once the turn has spent its nodes, its time (the clock is not read
// when there is no limit) or was told to stop.
bool turnMustStop();
// A VCF search reads the clock every 64 calls: restarted by its top call,
// asked by every call; true once the turn must stop (timeup is set).
void restartVcfClockReads();
bool vcfMustStop();

// ------------------------------------------------------------------ vcf.cpp

extern cellpos vcfBestMove;
extern bool HaveVcfBestMove;

bool hasFour(int side);
bool vcf(int depth, int side, int lastX, int lastY);
// The two empty cells of a three's window, in the window's cell order.
inline void threeEmptyCells(int w, cellpos (&empty)[2]) {
    int found = 0;
    for (const cellpos& c : Win2Point[w])
        if (board[c.x][c.y] == 0) empty[found++] = c;
}
// The cells within five rows and five columns of the last four: the only
// ones a deeper VCF call tries.
inline bool nearCell(cellpos cell, int lastX, int lastY) {
    const int dx = cell.x - lastX, dy = cell.y - lastY;
    return dx >= -5 && dx <= 5 && dy >= -5 && dy <= 5;
}

// ----------------------------------------------------------- vcf_ruled.cpp
// VCF under every rule but free-style: each four is played out on the board
// (the window sums alone cannot tell a four from a line that would overrun),
// a foul is never a four of the attacker, and a block the defender may not
// play wins.
bool ruledVcf(int depth, int side, int lastX, int lastY);

// --------------------------------------------------------------- search.cpp

constexpr int WinScore = 20000;
constexpr int UnfilledValue = -77777;

extern int MaxDepth;
extern cellpos BestMove;
extern bool HaveBestMove;  // keeps "no move yet" apart from the cell (0, 0)
extern onemove maxDlastGMoves[CellCount];

template <bool Ruled = false> int alphabeta(int depth, int alpha, int beta, int side);
void clearRootMemory();

// ----------------------------------------------------------------- turn.cpp

constexpr int DefaultSearchDepth = 4;
constexpr int MaxSearchDepth = 64;

extern int AiTurn;
extern int MostDepth;
// How deep a turn deepens, 1 .. MaxSearchDepth.
extern int DepthLimit;
extern cellpos resultpos;

struct IterationStats {
    int depth;
    int value;
    long long nodes;
    long long ms;
    bool complete;
    cellpos best;  // what the turn answers if it stops after this iteration
};
extern IterationStats Iterations[MaxSearchDepth];
extern int IterationCount;
// Called after every iteration with the turn's nodes and milliseconds so
// far, on the thread that runs the turn; none when null.
extern void (*IterationReport)(const IterationStats& iteration, long long turnNodes, long long turnMs);

const cellpos& run();

// ------------------------------------------------------- turn.cpp, deep mode
// A turn deeper than DefaultSearchDepth is a deep turn (deep mode), played
// by the engine of deep/, which keeps its own position and tables: this
// driver hands it the board and the turn's limits. The deep executable sets
// DeepByDefault: with no INFO max_depth it deepens as far as the clock allows.
extern bool DeepByDefault;
extern deep::TurnBudget DeepTurnBudget;
// When the manager asked for the move (clockMs), if known: the budget counts
// from there, so that the work done on the commands before the turn is paid
// out of it. Negative: from the start of runDeep. Each turn forgets it.
extern long long DeepTurnAskedMs;
const cellpos& runDeep();
// What an analysis board sees of a deep turn as it runs.
enum class LiveKind { NewIteration, Searching, Searched, Lost, Best, Ranked };
constexpr int MaxLiveLine = 16;
struct LiveReport {
    LiveKind kind;
    cellpos cell;
    int depth;
    int value;
    int rank;  // Ranked: from 1
    int lineLength;
    cellpos line[MaxLiveLine];  // Ranked: the cell and the moves expected after it
};
// Called on the thread that runs the turn; none when null.
extern void (*LiveAnalysis)(const LiveReport& report);
// The root moves being searched, the best so far and the moves proven lost
// go to LiveAnalysis too, not only the ranked moves.
extern bool LiveLines;
// How many of the best root moves a deep turn ranks, one after another, and
// reports after every iteration; 1: the usual turn.
extern int RankedMoves;
// Cells no turn may play, whichever engine searches (an analysis board's
// blocked cells); a turn plays one only when nothing else is left.
extern bool AvoidCell[BoardSize][BoardSize];
// The deep engine's table takes at most `bytes`; released when default
// turns are played, so that one engine's tables are there at a time.
void sizeDeepTables(std::size_t bytes);
void releaseDeepTables();
// The deep table is not (yet) of the size `bytes` asks for; or is there at all.
bool deepTablesChange(std::size_t bytes);
bool deepTablesThere();
bool hashTablesThere();
// Brings the deep table's pages in (another thread, while the worker is free
// to search); stops between chunks once `cancel` is set.
bool populateDeepTables(const std::atomic<bool>& cancel);
// The next deep turn starts a new game: empty table, no history.
void forgetDeepGames();
// The deep turns search with `count` threads (1 by default; clamped to 1..64)
// sharing one table. Set while no turn runs; the helper threads start with
// the next deep turn and are kept for the turns after it.
void setDeepThreads(int count);
// The deep engine's shape tables for the rule, built before the turn that
// needs them (renju's take a tenth of a second).
void prepareDeepRule(GameRule rule);

// ------------------------------------------------------ turn.cpp, swap2
// The swap2 opening, decided by the deep engine's search under Rule on the
// playing area; the board itself is not read. Each decision has an engine
// of its own, with a small table: the turns' tables, which a first decision
// would have to clear while their pages are still coming, stay untouched.
struct Swap2Stones {
    int count;  // 0, 3 or 5
    cellpos cell[5];  // in move order, black first
};
struct Swap2Decision {
    bool swap;  // take black
    int count;  // cells laid, in move order
    cellpos cell[3];
};
// What a decision may search, and for how long (-1: no clock). StopRequested cuts it.
extern long long Swap2Nodes;
// The decision's table (0: none).
extern std::size_t Swap2TableBytes;
extern long long Swap2LimitMs;
// When the manager asked (clockMs): the limit counts from there.
extern long long Swap2StartMs;
// Varies the candidates a decision draws (the manager's time left).
extern long long Swap2Variation;
// Each step of a decision, for show_detail; none when null.
extern void (*Swap2Note)(const char* text);
Swap2Decision runSwap2(const Swap2Stones& stones);
