#include <type_traits>

#include "engine.h"

int board[BoardSize][BoardSize];
int Win[2][FiveWindowCount];
cellpos Win2Point[FiveWindowCount][5];
int Point2Win[BoardSize][BoardSize][MaxWindowsPerCell];
int PointCount[BoardSize][BoardSize];
cellpos Six2Point[SixWindowCount][6];
std::uint64_t randomkey[BoardSize][BoardSize][2];
std::uint64_t nowhash;

bool Closed[BoardSize][BoardSize];
bool DeadFive[FiveWindowCount];

int Sum5[FiveWindowCount];
int Tally[2][5];
int FiveCount[2];
std::uint64_t ThreeSet[2][WindowWords];
std::uint32_t ThreeWords[2];
int LineTotal[2][CellCount];
int FourTotal[2][CellCount];
int OpenThreeCount[2];
int NearCount[CellCount];
int Candidate[CellCount];
int LiveWindows[CellCount][MaxWindowsPerCell];
int LiveCount[CellCount];
const int* FlankStone[FiveWindowCount][2];
int FlankedWindows[CellCount][MaxFlankedWindows];
int FlankedCount[CellCount];

namespace {

// The four line directions in window-number order.
struct Family {
    int dx, dy;
};
constexpr Family Families[4] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};

template <typename Visit>
void forEachWindow(int length, Visit visit) {
    const int span = length - 1;
    for (const Family& f : Families) {
        const int xEnd = f.dx == 0 ? BoardSize : BoardSize - span;
        const int yBegin = f.dy < 0 ? span : 0;
        const int yEnd = f.dy > 0 ? BoardSize - span : BoardSize;
        for (int x0 = 0; x0 < xEnd; ++x0)
            for (int y0 = yBegin; y0 < yEnd; ++y0) visit(x0, y0, f.dx, f.dy);
    }
}

// The six-cell windows through a cell and the cell's place (0..5) in each.
struct SixSlot {
    short window;
    short place;
};
constexpr int MaxSixPerCell = 24;
static_assert(MaxSixPerCell == 4 * 6, "a cell lies in at most six six-cell windows per direction");
SixSlot Point2Six[BoardSize][BoardSize][MaxSixPerCell];
int SixCount[BoardSize][BoardSize];
int MidSum6[SixWindowCount];  // sum of the four middle cells
unsigned char OpenThreeFlags[SixWindowCount];  // bit k: an open three of side index k

// For the other rules: the two five-cell windows inside each six-cell window,
// and per cell the live six-cell windows through it or just beyond an end,
// whose five-cell windows a stone there can bar.
int Six2Five[SixWindowCount][2];
constexpr int MaxSixNearCell = 4 * 8;
short SixNearCell[CellCount][MaxSixNearCell];
int SixNearCount[CellCount];
// What an off-grid flank reads.
constexpr int NoStone = 0;

// What a window sum holds: k * 8 + n for n (1..4) stones of side index k and
// nothing else; -1 for an empty window, a five or both colours.
constexpr int MinWindowSum = -2000, MaxWindowSum = 5;
struct WindowClasses {
    signed char of[MaxWindowSum - MinWindowSum + 1];
    constexpr WindowClasses() : of() {
        for (int sum = MinWindowSum; sum <= MaxWindowSum; ++sum) of[sum - MinWindowSum] = -1;
        for (int n = 1; n <= 4; ++n) {
            of[n - MinWindowSum] = static_cast<signed char>(n);
            of[-400 * n - MinWindowSum] = static_cast<signed char>(8 + n);
        }
    }
};
constexpr WindowClasses Classes;
inline int classOf(int sum) { return Classes.of[sum - MinWindowSum]; }

constexpr int LineWeight[4] = {0, 3, 14, 42};

int WindowCells[FiveWindowCount][5];  // Win2Point as cell indices

void addThree(int k, int w) {
    ThreeSet[k][w >> 6] |= std::uint64_t{1} << (w & 63);
    ThreeWords[k] |= std::uint32_t{1} << (w >> 6);
}

void removeThree(int k, int w) {
    std::uint64_t& word = ThreeSet[k][w >> 6];
    word &= ~(std::uint64_t{1} << (w & 63));
    if (word == 0) ThreeWords[k] &= ~(std::uint32_t{1} << (w >> 6));
}

// Adds (dir = +1) or removes (dir = -1) window w's share of the full state.
void applyClass(int w, int cls, int dir) {
    const int k = cls >> 3, n = cls & 7;
    Tally[k][n] += dir;
    if (n == 4) {
        for (const int cell : WindowCells[w]) FourTotal[k][cell] += dir;
    } else {
        if (n == 3) {
            if (dir > 0) addThree(k, w); else removeThree(k, w);
        }
        const int weight = dir * LineWeight[n];
        for (const int cell : WindowCells[w]) LineTotal[k][cell] += weight;
    }
}

// A leaf is only evaluated: it needs the tallies, not the ordering totals
// or the threat sets, which stay as they were and are right again once the
// leaf's stone is taken back.
void applyLeafClass(int cls, int dir) { Tally[cls >> 3][cls & 7] += dir; }

// Under the other rules a window that can never win counts for nobody.
inline int ruledClassOf(int w, int sum) {
    const int cls = classOf(sum);
    return cls >= 0 && windowBarred(cls >> 3, w) ? -1 : cls;
}

template <bool Leaf, bool Ruled>
void changeWindow(int w, int oldSum, int newSum) {
    const int before = Ruled ? ruledClassOf(w, oldSum) : classOf(oldSum);
    const int after = Ruled ? ruledClassOf(w, newSum) : classOf(newSum);
    if (before == after) return;
    if constexpr (Leaf) {
        if (before >= 0) applyLeafClass(before, -1);
        if (after >= 0) applyLeafClass(after, +1);
    } else {
        if (before >= 0) applyClass(w, before, -1);
        if (after >= 0) applyClass(w, after, +1);
    }
}

// What a window sum means to the attacker of vcf, side index k:
// ThreatCode[k][sum] is 1 for a three of k, 2 for a four of k, 0 otherwise.
struct ThreatCodes {
    unsigned char of[2][MaxWindowSum - MinWindowSum + 1];
    constexpr ThreatCodes() : of() {
        of[0][3 - MinWindowSum] = 1;
        of[0][4 - MinWindowSum] = 2;
        of[1][-1200 - MinWindowSum] = 1;
        of[1][-1600 - MinWindowSum] = 2;
    }
};
constexpr ThreatCodes Threats;

void updateSixWindows(int x, int y, int delta) {
    for (int i = 0; i < SixCount[x][y]; ++i) {
        const int s = Point2Six[x][y][i].window;
        const int place = Point2Six[x][y][i].place;
        if (place != 0 && place != 5) MidSum6[s] += delta;
        const int mid = MidSum6[s];
        const int old = OpenThreeFlags[s];
        // Only three stones of one side in the middle can make an open three.
        if (mid != 3 && mid != -1200 && old == 0) continue;
        const cellpos first = Six2Point[s][0], last = Six2Point[s][5];
        const int end0 = board[first.x][first.y], end5 = board[last.x][last.y];
        const int flags = (mid == 3 && end0 != OpponentStone && end5 != OpponentStone ? 1 : 0) |
                          (mid == -1200 && end0 != MyStone && end5 != MyStone ? 2 : 0);
        if (flags != old) {
            OpenThreeCount[0] += (flags & 1) - (old & 1);
            OpenThreeCount[1] += ((flags >> 1) & 1) - ((old >> 1) & 1);
            OpenThreeFlags[s] = static_cast<unsigned char>(flags);
        }
    }
}

// Under the other rules an open three also needs both of its five-cell
// windows able to win, which stones just beyond them can change.
void updateRuledSixWindows(int x, int y, int delta) {
    for (int i = 0; i < SixCount[x][y]; ++i) {
        const int place = Point2Six[x][y][i].place;
        if (place != 0 && place != 5) MidSum6[Point2Six[x][y][i].window] += delta;
    }
    const int cell = x * BoardSize + y;
    for (int i = 0; i < SixNearCount[cell]; ++i) {
        const int s = SixNearCell[cell][i];
        const int mid = MidSum6[s];
        const int old = OpenThreeFlags[s];
        if (mid != 3 && mid != -1200 && old == 0) continue;
        const cellpos first = Six2Point[s][0], last = Six2Point[s][5];
        const int end0 = board[first.x][first.y], end5 = board[last.x][last.y];
        const auto open = [s](int k) { return !windowBarred(k, Six2Five[s][0]) && !windowBarred(k, Six2Five[s][1]); };
        const int flags = (mid == 3 && end0 != OpponentStone && end5 != OpponentStone && open(0) ? 1 : 0) |
                          (mid == -1200 && end0 != MyStone && end5 != MyStone && open(1) ? 2 : 0);
        if (flags != old) {
            OpenThreeCount[0] += (flags & 1) - (old & 1);
            OpenThreeCount[1] += ((flags >> 1) & 1) - ((old >> 1) & 1);
            OpenThreeFlags[s] = static_cast<unsigned char>(flags);
        }
    }
}

// A cell is tried by a search node when it is empty, open and has a stone
// within two rows and two columns.
void updateNear(int x, int y, int delta) {
    const int x0 = x < 2 ? 0 : x - 2, x1 = x > BoardSize - 3 ? BoardSize - 1 : x + 2;
    const int y0 = y < 2 ? 0 : y - 2, y1 = y > BoardSize - 3 ? BoardSize - 1 : y + 2;
    for (int cx = x0; cx <= x1; ++cx)
        for (int cy = y0; cy <= y1; ++cy) {
            const int cell = cx * BoardSize + cy;
            NearCount[cell] += delta;
            Candidate[cell] = NearCount[cell] > 0 && board[cx][cy] == 0 && !Closed[cx][cy];
        }
}

template <typename T, std::size_t N>
void fillZero(T (&array)[N]) {
    for (auto& item : array) {
        if constexpr (std::is_array_v<T>) fillZero(item);
        else item = T{};
    }
}

}  // namespace

void init() {
    fillZero(PointCount);
    fillZero(Win);
    for (auto& column : Point2Win)
        for (auto& cell : column)
            for (int& slot : cell) slot = -1;

    int w = 0;
    forEachWindow(5, [&w](int x0, int y0, int dx, int dy) {
        bool dead = false;
        for (int l = 0; l < 5; ++l) {
            const int cx = x0 + l * dx, cy = y0 + l * dy;
            Win2Point[w][l] = {cx, cy};
            WindowCells[w][l] = cx * BoardSize + cy;
            Point2Win[cx][cy][PointCount[cx][cy]++] = w;
            dead = dead || Closed[cx][cy];
        }
        DeadFive[w] = dead;
        ++w;
    });

    fillZero(FlankedCount);
    for (int window = 0; window < FiveWindowCount; ++window) {
        const cellpos first = Win2Point[window][0], last = Win2Point[window][4];
        const int dx = (last.x - first.x) / 4, dy = (last.y - first.y) / 4;
        const cellpos ends[2] = {{first.x - dx, first.y - dy}, {last.x + dx, last.y + dy}};
        for (int e = 0; e < 2; ++e) {
            const cellpos c = ends[e];
            const bool onGrid = c.x >= 0 && c.x < BoardSize && c.y >= 0 && c.y < BoardSize;
            FlankStone[window][e] = onGrid ? &board[c.x][c.y] : &NoStone;
            if (onGrid) {
                const int cell = c.x * BoardSize + c.y;
                FlankedWindows[cell][FlankedCount[cell]++] = window;
            }
        }
    }

    fillZero(LiveCount);
    for (int cell = 0; cell < CellCount; ++cell) {
        const int cx = cell / BoardSize, cy = cell % BoardSize;
        for (int slot = 0; slot < PointCount[cx][cy]; ++slot) {
            const int window = Point2Win[cx][cy][slot];
            if (!DeadFive[window]) LiveWindows[cell][LiveCount[cell]++] = window;
        }
    }

    fillZero(SixCount);
    fillZero(SixNearCount);
    int s = 0;
    forEachWindow(6, [&s](int x0, int y0, int dx, int dy) {
        bool dead = false;
        for (int m = 0; m < 6; ++m) {
            const int cx = x0 + m * dx, cy = y0 + m * dy;
            Six2Point[s][m] = {cx, cy};
            dead = dead || Closed[cx][cy];
        }
        for (int half = 0; half < 2; ++half) {
            const int cx = x0 + half * dx, cy = y0 + half * dy;
            for (int slot = 0; slot < PointCount[cx][cy]; ++slot) {
                const int w = Point2Win[cx][cy][slot];
                if (Win2Point[w][0].x == cx && Win2Point[w][0].y == cy && Win2Point[w][1].x == cx + dx &&
                    Win2Point[w][1].y == cy + dy)
                    Six2Five[s][half] = w;
            }
        }
        // Dead six-cell windows never form an open three: leave them out.
        if (!dead) {
            for (int m = 0; m < 6; ++m) {
                const int cx = x0 + m * dx, cy = y0 + m * dy;
                Point2Six[cx][cy][SixCount[cx][cy]++] = {static_cast<short>(s), static_cast<short>(m)};
            }
            for (int m = -1; m <= 6; ++m) {
                const int cx = x0 + m * dx, cy = y0 + m * dy;
                if (cx < 0 || cx >= BoardSize || cy < 0 || cy >= BoardSize) continue;
                const int cell = cx * BoardSize + cy;
                SixNearCell[cell][SixNearCount[cell]++] = static_cast<short>(s);
            }
        }
        ++s;
    });

    fillZero(Sum5);
    fillZero(Tally);
    fillZero(FiveCount);
    fillZero(ThreeSet);
    fillZero(ThreeWords);
    fillZero(LineTotal);
    fillZero(FourTotal);
    fillZero(OpenThreeCount);
    fillZero(NearCount);
    fillZero(Candidate);
    fillZero(MidSum6);
    fillZero(OpenThreeFlags);
}

namespace {

// Stones reach the board in three ways, each keeping a different part of
// the line state right:
// - full (MakeMove, unMakeMove): everything - board, nowhash, Win and
//   FiveCount, the window sums, tallies, threat sets and ordering totals of
//   both sides, the open threes and the near counts and candidates. Every
//   reader may rely on it.
// - leaf (MakeLeafMove, unMakeLeafMove): board, nowhash, Win and FiveCount,
//   the window sums, the tallies and the open threes - what check_over, the
//   table and evaluate read at a node with no depth left. The threat sets,
//   the ordering totals and the candidates describe the board without the
//   leaf's stone until it is taken back, so nothing may order moves, look
//   for fours or run vcf while it stands.
// - trial (setTrialStone, vcf only): board, the window sums, and the
//   attacker's threes and four tally; not even nowhash or Win. vcf reads
//   nothing else and takes every trial back before it returns, after which
//   the untouched parts are right again.
//
// Places (sign +1) or removes (sign -1) a stone of `side` on (x, y).
//
// Under the other rules (Ruled) a stone also changes what the windows
// ending just beside it can still become; they are read before the stone
// is written and settled after.
struct FlankedState {
    signed char cls;
    bool five[2];
};

inline FlankedState flankedState(int w) {
    return {static_cast<signed char>(ruledClassOf(w, Sum5[w])),
            {Win[0][w] == 5 && !windowBarred(0, w), Win[1][w] == 5 && !windowBarred(1, w)}};
}

template <bool Leaf>
void settleFlankedWindows(int cell, const FlankedState* before) {
    for (int i = 0; i < FlankedCount[cell]; ++i) {
        const int w = FlankedWindows[cell][i];
        if (DeadFive[w]) continue;
        const FlankedState after = flankedState(w);
        for (int k = 0; k < 2; ++k) FiveCount[k] += after.five[k] - before[i].five[k];
        if (after.cls == before[i].cls) continue;
        if constexpr (Leaf) {
            if (before[i].cls >= 0) applyLeafClass(before[i].cls, -1);
            if (after.cls >= 0) applyLeafClass(after.cls, +1);
        } else {
            if (before[i].cls >= 0) applyClass(w, before[i].cls, -1);
            if (after.cls >= 0) applyClass(w, after.cls, +1);
        }
    }
}

template <int Sign, bool Leaf, bool Ruled>
void moveStone(int x, int y, int side) {
    [[maybe_unused]] const int cell = x * BoardSize + y;
    [[maybe_unused]] FlankedState flanked[MaxFlankedWindows];
    // A stone beyond a window's end bars it for its own side under exact
    // five, for the other side under caro, and for nobody else.
    [[maybe_unused]] const bool bars = Ruled && (ExactFiveFor[sideIndex(side)] || BlockedFiveLoses);
    if constexpr (Ruled)
        if (bars)
            for (int i = 0; i < FlankedCount[cell]; ++i) flanked[i] = flankedState(FlankedWindows[cell][i]);

    board[x][y] = Sign > 0 ? side : 0;
    const int k = sideIndex(side);
    nowhash ^= randomkey[x][y][k];
    const int delta = Sign * side;
    for (int slot = 0; slot < MaxWindowsPerCell; ++slot) {
        const int w = Point2Win[x][y][slot];
        if (w == -1) break;
        // Only a five that can win ends the game; the window's ends are not
        // this cell, so the stone leaves its barring as it was.
        if constexpr (Sign > 0) {
            if (++Win[k][w] == 5 && (!Ruled || !windowBarred(k, w))) ++FiveCount[k];
        } else {
            if (Win[k][w]-- == 5 && (!Ruled || !windowBarred(k, w))) --FiveCount[k];
        }
        const int oldSum = Sum5[w];
        Sum5[w] = oldSum + delta;
        if (!DeadFive[w]) changeWindow<Leaf, Ruled>(w, oldSum, oldSum + delta);
    }
    if constexpr (Ruled) {
        if (bars) settleFlankedWindows<Leaf>(cell, flanked);
        updateRuledSixWindows(x, y, delta);
    } else {
        updateSixWindows(x, y, delta);
    }
    if constexpr (!Leaf) updateNear(x, y, Sign);
}

}  // namespace

template <bool Ruled> void MakeMove(int x, int y, int side) { moveStone<+1, false, Ruled>(x, y, side); }
template <bool Ruled> void unMakeMove(int x, int y, int side) { moveStone<-1, false, Ruled>(x, y, side); }
template <bool Ruled> void MakeLeafMove(int x, int y, int side) { moveStone<+1, true, Ruled>(x, y, side); }
template <bool Ruled> void unMakeLeafMove(int x, int y, int side) { moveStone<-1, true, Ruled>(x, y, side); }

template <bool Ruled>
void setTrialStone(int x, int y, int code, int attacker) {
    const int cell = x * BoardSize + y;
    const unsigned char* threat = Threats.of[attacker] - MinWindowSum;
    // Under the other rules the windows just beyond the cell may change
    // what they can become for the attacker.
    [[maybe_unused]] unsigned char flanked[MaxFlankedWindows];
    [[maybe_unused]] const bool attackersStone = code == (attacker == 0 ? MyStone : OpponentStone) ||
                                                 board[x][y] == (attacker == 0 ? MyStone : OpponentStone);
    [[maybe_unused]] const bool bars = Ruled && (attackersStone ? ExactFiveFor[attacker] : BlockedFiveLoses);
    if constexpr (Ruled)
        for (int i = 0; bars && i < FlankedCount[cell]; ++i) {
            const int w = FlankedWindows[cell][i];
            flanked[i] = DeadFive[w] || windowBarred(attacker, w) ? 0 : threat[Sum5[w]];
        }
    const int delta = code - board[x][y];
    board[x][y] = code;
    int fours = Tally[attacker][4];
    for (const int *w = LiveWindows[cell], *end = w + LiveCount[cell]; w != end; ++w) {
        const int oldSum = Sum5[*w], newSum = oldSum + delta;
        Sum5[*w] = newSum;
        if (Ruled && windowBarred(attacker, *w)) continue;
        const int before = threat[oldSum], after = threat[newSum];
        if (before == after) continue;
        if (before == 1) removeThree(attacker, *w);
        if (after == 1) addThree(attacker, *w);
        fours += (after == 2) - (before == 2);
    }
    if constexpr (Ruled)
        for (int i = 0; bars && i < FlankedCount[cell]; ++i) {
            const int w = FlankedWindows[cell][i];
            const int before = flanked[i];
            const int after = DeadFive[w] || windowBarred(attacker, w) ? 0 : threat[Sum5[w]];
            if (before == after) continue;
            if (before == 1) removeThree(attacker, w);
            if (after == 1) addThree(attacker, w);
            fours += (after == 2) - (before == 2);
        }
    Tally[attacker][4] = fours;
}

template void MakeMove<false>(int, int, int);
template void MakeMove<true>(int, int, int);
template void unMakeMove<false>(int, int, int);
template void unMakeMove<true>(int, int, int);
template void MakeLeafMove<false>(int, int, int);
template void MakeLeafMove<true>(int, int, int);
template void unMakeLeafMove<false>(int, int, int);
template void unMakeLeafMove<true>(int, int, int);
template void setTrialStone<false>(int, int, int, int);
template void setTrialStone<true>(int, int, int, int);

bool hasPlayableOpenThree(int k) {
    const int side = k == 0 ? MyStone : OpponentStone;
    for (int s = 0; s < SixWindowCount; ++s) {
        if (!(OpenThreeFlags[s] >> k & 1)) continue;
        // The one empty middle cell makes the straight four.
        for (int m = 1; m <= 4; ++m) {
            const cellpos c = Six2Point[s][m];
            if (board[c.x][c.y] == 0 && !isFoul(c.x, c.y, side)) return true;
        }
    }
    return false;
}

bool check_over() { return FiveCount[0] + FiveCount[1] > 0; }

void openPlayingArea(int width, int height) {
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) Closed[x][y] = x >= width || y >= height;
}

void setCellClosed(int x, int y, bool closed) { Closed[x][y] = closed; }
