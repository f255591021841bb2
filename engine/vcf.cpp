#include <bit>

#include "engine.h"

cellpos vcfBestMove;
bool HaveVcfBestMove;

namespace {

constexpr int MaxVcfDepth = 6;

using WindowSet = std::uint64_t[WindowWords];

// Per cell: the windows through it, and the windows with at least one cell
// within five rows and five columns of it. Built from Win2Point at the first
// vcf call, which always comes after init() has laid the windows out; the
// windows never change after that (closed cells only make some of them dead,
// and dead windows never hold a three or a four), so the table stays valid
// for the life of the process: 113 KiB that a process which never searches
// does not pay for.
struct CellWindowTables {
    WindowSet through[CellCount];
    WindowSet near[CellCount];
    CellWindowTables() : through(), near() {
        for (int cell = 0; cell < CellCount; ++cell) {
            const int x = cell / BoardSize, y = cell % BoardSize;
            for (int w = 0; w < FiveWindowCount; ++w)
                for (const cellpos& c : Win2Point[w]) {
                    const std::uint64_t bit = std::uint64_t{1} << (w & 63);
                    if (c.x == x && c.y == y) through[cell][w >> 6] |= bit;
                    if (c.x - x >= -5 && c.x - x <= 5 && c.y - y >= -5 && c.y - y <= 5) near[cell][w >> 6] |= bit;
                }
        }
    }
};

const CellWindowTables& cellWindows() {
    static const CellWindowTables tables;
    return tables;
}

int cellIndex(cellpos c) { return c.x * BoardSize + c.y; }

bool holds(const WindowSet& set, int w) { return (set[w >> 6] >> (w & 63)) & 1; }

// What a try (the attacker's four on `four`, the defender's block on
// `block`) comes to, worked out from the window sums before the stones are
// written: most tries are settled here and never touch the board. Each
// answer is what writing the two stones and calling vcf(depth + 1) would
// give, found without doing it:
// - BlockMakesFour: the block turns a three of the defender into a four.
//   The caller reacts as the search does to that block: a first try sets
//   the skip flag, a second try ends the call with false.
// - Fails: the deeper call would return false. It is past the depth limit,
//   or it has no four and no three near enough to try.
// - Wins: the deeper call would return true at once, since the four move
//   left the attacker a four that the block does not touch. The attacker
//   had no four before (the call would have returned already), so any four
//   after the move runs through `four`.
// - Search: only the deeper call can tell; write the stones and make it.
// A window through both cells holds a stone of each side and counts for
// nobody, so every test below leaves such windows out.
enum class Try { BlockMakesFour, Fails, Wins, Search };

// `fourShift` and `blockShift` are what the first try's stones add to the
// windows through each cell while they still stand (0 when they do not):
// the judgement is always about the board without them. Windows through
// neither cell are the same either way.
Try judgeTry(cellpos four, cellpos block, int k, int depth, int fourShift = 0, int blockShift = 0) {
    const CellWindowTables& tables = cellWindows();
    const int fourCell = cellIndex(four), blockCell = cellIndex(block);
    const WindowSet& throughFour = tables.through[fourCell];
    const WindowSet& throughBlock = tables.through[blockCell];

    // The block makes a four of the defender from one of his threes.
    const int defenderThree = k == 0 ? -1200 : 3;
    for (int i = 0; i < LiveCount[blockCell]; ++i) {
        const int w = LiveWindows[blockCell][i];
        if (Sum5[w] - blockShift == defenderThree && !holds(throughFour, w)) return Try::BlockMakesFour;
    }
    if (depth + 1 > MaxVcfDepth) return Try::Fails;

    // The next call finds a four of the attacker made by this one, or, if
    // none, needs a three that is near enough to be tried.
    const int three = k == 0 ? 3 : -1200, two = k == 0 ? 2 : -800;
    bool makesThree = false;
    for (int i = 0; i < LiveCount[fourCell]; ++i) {
        const int w = LiveWindows[fourCell][i];
        if (holds(throughBlock, w)) continue;
        const int sum = Sum5[w] - fourShift;
        if (sum == three) return Try::Wins;
        makesThree = makesThree || sum == two;
    }
    if (depth + 1 == MaxVcfDepth) return Try::Fails;
    if (makesThree) return Try::Search;

    // The threes that stay as they are: the next call tries one only if an
    // empty cell it would test is near the four; any other only sets the
    // skip flag, which matters to no three of its own.
    const WindowSet& nearFour = tables.near[fourCell];
    for (std::uint32_t words = ThreeWords[k]; words; words &= words - 1) {
        const int word = std::countr_zero(words);
        for (std::uint64_t bits = ThreeSet[k][word] & nearFour[word] & ~throughFour[word] & ~throughBlock[word]; bits;
             bits &= bits - 1) {
            const int w = word * 64 + std::countr_zero(bits);
            cellpos empty[2];
            threeEmptyCells(w, empty);
            if (nearCell(empty[1], four.x, four.y) || (k == 1 && nearCell(empty[0], four.x, four.y))) return Try::Search;
        }
    }
    return Try::Fails;
}

void setTrials(cellpos four, int side, cellpos block, int defender, int k) {
    setTrialStone(four.x, four.y, side, k);
    setTrialStone(block.x, block.y, defender, k);
}

void clearTrials(cellpos a, cellpos b, int k) {
    setTrialStone(a.x, a.y, 0, k);
    setTrialStone(b.x, b.y, 0, k);
}

void recordFirstMove(int depth, cellpos move) {
    if (depth != 0) return;
    vcfBestMove = move;
    HaveVcfBestMove = true;
}

}  // namespace

bool hasFour(int side) { return Tally[sideIndex(side)][4] > 0; }

// The trial stones go through setTrialStone, which keeps the window sums,
// the attacker's threes and his four count right, and nothing else: vcf
// reads nothing else, and every trial is taken back before the call returns.
bool vcf(int depth, int side, int lastX, int lastY) {
    // Once a three is refused its first try (its test cell is not near the
    // last four, or the block would make a defender's four), no later three
    // of this call gets one either; second tries never look at the flag.
    // This pruning is part of what the search finds, so it is kept exactly.
    bool skipFirstTries = false;
    if (depth > MaxVcfDepth) return false;
    if (depth == 0) restartVcfClockReads();
    if (vcfMustStop()) return false;

    // The attacker already has a four: his next stone makes five.
    if (hasFour(side)) return true;
    const int k = sideIndex(side);

    const int defender = side == MyStone ? OpponentStone : MyStone;
    const bool local = lastX != -1 && lastY != -1;

    // Threes in ascending window order. Every trial is undone before the
    // next window is looked at, so the set read here stays valid.
    for (std::uint32_t words = ThreeWords[k]; words; words &= words - 1) {
        const int word = std::countr_zero(words);
        for (std::uint64_t bits = ThreeSet[k][word]; bits; bits &= bits - 1) {
            const int w = word * 64 + std::countr_zero(bits);
            cellpos empty[2];
            threeEmptyCells(w, empty);
            const cellpos e0 = empty[0], e1 = empty[1];

            // The locality test of a first try looks at the second empty cell
            // for side 1 and at the first for side -400. The asymmetry is
            // the search's own rule, not a slip: which lines are found, and
            // so which moves are played, depends on it.
            const cellpos testCell = side == MyStone ? e1 : e0;
            if (local && !nearCell(testCell, lastX, lastY)) skipFirstTries = true;

            // First try: four on e0, forced block on e1.
            bool placed = false;
            if (!skipFirstTries) {
                switch (judgeTry(e0, e1, k, depth)) {
                case Try::BlockMakesFour:
                    skipFirstTries = true;
                    break;
                case Try::Wins:
                    recordFirstMove(depth, e0);
                    return true;
                case Try::Search:
                    setTrials(e0, side, e1, defender, k);
                    placed = true;
                    if (vcf(depth + 1, side, e0.x, e0.y)) {
                        recordFirstMove(depth, e0);
                        clearTrials(e0, e1, k);
                        return true;
                    }
                    if (timeup) {
                        clearTrials(e0, e1, k);
                        return false;
                    }
                    break;
                case Try::Fails:
                    break;
                }
            }

            // Second try: four on e1, forced block on e0, judged with the
            // first try's stones still standing if they do; going straight
            // from those stones to these ends in the same board.
            Try second = Try::Fails;
            if (!local || nearCell(e1, lastX, lastY))
                second = placed ? judgeTry(e1, e0, k, depth, defender, side) : judgeTry(e1, e0, k, depth);
            if (second == Try::Search) {
                setTrials(e1, side, e0, defender, k);
                placed = true;
                if (vcf(depth + 1, side, e1.x, e1.y)) second = Try::Wins;
            }
            if (placed) clearTrials(e0, e1, k);
            if (second == Try::BlockMakesFour || timeup) return false;
            if (second == Try::Wins) {
                recordFirstMove(depth, e1);
                return true;
            }
        }
    }
    return false;
}
