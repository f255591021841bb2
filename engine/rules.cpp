// What the rules other than free-style add: who may win with which five,
// and renju black's fouls.
#include "engine.h"

GameRule Rule = GameRule::FreeStyle;
bool ExactFiveFor[2];
bool BlockedFiveLoses;
int FoulSide = -1;

GameRule ruleFromInfo(int bits) {
    // Bit 2 was the continuous game, which no manager plays any more: the
    // analysis boards send it for renju.
    if (bits & (4 | 2)) return GameRule::Renju;
    if (bits & 8) return GameRule::Caro;
    if (bits & 1) return GameRule::ExactFive;
    return GameRule::FreeStyle;
}

void setGameRule(GameRule rule, int blackIndex) {
    Rule = rule;
    const bool exact = rule == GameRule::ExactFive;
    ExactFiveFor[0] = exact || (rule == GameRule::Renju && blackIndex == 0);
    ExactFiveFor[1] = exact || (rule == GameRule::Renju && blackIndex == 1);
    BlockedFiveLoses = rule == GameRule::Caro;
    FoulSide = rule == GameRule::Renju ? blackIndex : -1;
}

int blackSideIndex() {
    int own = 0, opponent = 0;
    for (const auto& column : board)
        for (const int stone : column) {
            own += stone == MyStone;
            opponent += stone == OpponentStone;
        }
    return own == opponent ? sideIndex(MyStone) : sideIndex(OpponentStone);
}

namespace {

constexpr int Steps[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
// Off the board, or a blocked cell: nobody's stone and no room.
constexpr int Wall = 7;
// A three is real only if the cell that makes it a straight four is no foul
// itself; the check nests this deep at most, and deeper cells count as legal.
constexpr int MaxFoulNesting = 4;

int blackStone() { return FoulSide == 0 ? MyStone : OpponentStone; }

int cellAt(int x, int y) {
    if (x < 0 || x >= BoardSize || y < 0 || y >= BoardSize || Closed[x][y]) return Wall;
    return board[x][y];
}

// Cells along direction d from (x, y), by offset.
struct Line {
    int x, y, dx, dy, black;
    int at(int offset) const { return cellAt(x + offset * dx, y + offset * dy); }
    void set(int offset, int code) const { board[x + offset * dx][y + offset * dy] = code; }
    // The black run through `offset` (black there), as its first and last offsets.
    void run(int offset, int& low, int& high) const {
        low = high = offset;
        while (at(low - 1) == black) --low;
        while (at(high + 1) == black) ++high;
    }
};

Foul foulAt(int x, int y, int nesting);

// A black stone on (x, y) would make exactly five in some line.
bool makesFive(int x, int y, int black) {
    board[x][y] = black;
    bool five = false;
    for (const auto& step : Steps) {
        const Line line{x, y, step[0], step[1], black};
        int low, high;
        line.run(0, low, high);
        five = five || high - low == 4;
    }
    board[x][y] = 0;
    return five;
}

// Empty cells within four of the stone that make exactly five with it;
// the two ends of one straight four count as one four.
int foursThrough(const Line& line) {
    int completions[8], count = 0;
    for (int q = -4; q <= 4; ++q) {
        if (q == 0 || line.at(q) != 0) continue;
        line.set(q, line.black);
        int low, high;
        line.run(q, low, high);
        line.set(q, 0);
        if (high - low == 4 && low <= 0 && high >= 0) completions[count++] = q;
    }
    int fours = count;
    for (int i = 0; i + 1 < count; ++i)
        if (completions[i + 1] - completions[i] == 5) --fours;
    return fours;
}

// A real three: a legal black stone on some empty cell of the line makes,
// with this stone, a straight four whose both ends make exactly five. A
// stone there that makes five is a five, not that four.
bool realThreeThrough(const Line& line, int nesting) {
    for (int q = -4; q <= 4; ++q) {
        if (q == 0 || line.at(q) != 0) continue;
        line.set(q, line.black);
        int low, high;
        line.run(q, low, high);
        const bool straightFour = high - low == 3 && low <= 0 && high >= 0 && line.at(low - 1) == 0 &&
                                  line.at(high + 1) == 0 && line.at(low - 2) != line.black &&
                                  line.at(high + 2) != line.black;
        line.set(q, 0);
        const int qx = line.x + q * line.dx, qy = line.y + q * line.dy;
        if (straightFour && !makesFive(qx, qy, line.black) && foulAt(qx, qy, nesting + 1) == Foul::None)
            return true;
    }
    return false;
}

Foul foulAt(int x, int y, int nesting) {
    if (nesting > MaxFoulNesting) return Foul::None;
    const int black = blackStone();
    board[x][y] = black;
    Line lines[4];
    bool five = false, overline = false;
    for (int d = 0; d < 4; ++d) {
        lines[d] = {x, y, Steps[d][0], Steps[d][1], black};
        int low, high;
        lines[d].run(0, low, high);
        five = five || high - low == 4;
        overline = overline || high - low >= 5;
    }
    // A five excuses a double four or a double three, not an overline in
    // another line: the referee's judgement.
    Foul foul = Foul::None;
    if (overline) {
        foul = Foul::Overline;
    } else if (!five) {
        int fours = 0, threes = 0;
        for (const Line& line : lines) {
            const int f = foursThrough(line);
            fours += f;
            if (f == 0 && realThreeThrough(line, nesting)) ++threes;
        }
        foul = fours >= 2 ? Foul::DoubleFour : threes >= 2 ? Foul::DoubleThree : Foul::None;
    }
    board[x][y] = 0;
    return foul;
}

// Most cells cannot be fouls: that needs two lines with two more black
// stones each within four cells, or one line with four.
bool foulPossible(int x, int y) {
    const int black = blackStone();
    int busyLines = 0;
    for (const auto& step : Steps) {
        int stones = 0;
        for (int offset = -4; offset <= 4; ++offset)
            if (offset != 0 && cellAt(x + offset * step[0], y + offset * step[1]) == black) ++stones;
        if (stones >= 4) return true;
        if (stones >= 2) ++busyLines;
    }
    return busyLines >= 2;
}

}  // namespace

Foul foulAt(int x, int y) { return FoulSide < 0 ? Foul::None : foulAt(x, y, 0); }

bool isFoul(int x, int y, int side) {
    return sideIndex(side) == FoulSide && foulPossible(x, y) && foulAt(x, y, 0) != Foul::None;
}

int renjuFouls(cellpos (&cells)[CellCount]) {
    const GameRule rule = Rule;
    setGameRule(GameRule::Renju, blackSideIndex());
    const int black = FoulSide == sideIndex(MyStone) ? MyStone : OpponentStone;
    int count = 0;
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            if (board[x][y] == 0 && !Closed[x][y] && isFoul(x, y, black)) cells[count++] = {x, y};
    setGameRule(rule, blackSideIndex());
    return count;
}
