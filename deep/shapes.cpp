#include "deep/shapes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace deep {

FiveRule fiveRuleOf(Rule rule, int side) {
    switch (rule) {
    case Rule::Standard: return FiveRule::ExactlyFive;
    case Rule::Renju: return side == 0 ? FiveRule::ExactlyFive : FiveRule::FiveOrMore;
    case Rule::Caro: return FiveRule::NotBlockedBothEnds;
    case Rule::Freestyle: break;
    }
    return FiveRule::FiveOrMore;
}

namespace {

// A line seen by one side: its own stones, the other side's stones, and
// walls (the board's edge, blocked cells). Only caro tells an opponent stone
// from a wall: there a five between two opponent stones wins nothing.
enum Cell : std::uint8_t { Free = 0, Own = 1, Stone = 2, Edge = 3 };
constexpr int Middle = 5;
constexpr int LineLength = 11;

struct Line {
    Cell cell[LineLength];

    // The run of own stones through the middle, which holds one.
    int runThroughMiddle(int& low, int& high) const {
        low = high = Middle;
        while (low > 0 && cell[low - 1] == Own) --low;
        while (high < LineLength - 1 && cell[high + 1] == Own) ++high;
        return high - low + 1;
    }

    bool winsThroughMiddle(FiveRule rule) const {
        int low, high;
        const int length = runThroughMiddle(low, high);
        switch (rule) {
        case FiveRule::FiveOrMore: return length >= 5;
        case FiveRule::ExactlyFive: return length == 5;
        case FiveRule::NotBlockedBothEnds:
            // An exact five through the middle lies within offsets -4..4, so
            // both cells beyond it are on the line.
            return length >= 6 || (length == 5 && !(cell[low - 1] == Stone && cell[high + 1] == Stone));
        }
        return false;
    }

    bool overlineThroughMiddle() const {
        int low, high;
        return runThroughMiddle(low, high) >= 6;
    }

    std::uint32_t code() const {
        std::uint32_t c = 0;
        for (int i = 0; i < LineLength; ++i) c |= static_cast<std::uint32_t>(cell[i]) << (2 * i);
        return c;
    }

    // Beyond the first cell that blocks own stones, nothing matters: it
    // becomes edge, so that equivalent lines share one memo entry.
    void canonicalize(bool caro) {
        for (int i = Middle - 1, blocked = 0; i >= 0; --i) {
            if (blocked) cell[i] = Edge;
            else if (cell[i] == Stone || cell[i] == Edge) {
                blocked = 1;
                if (!caro) cell[i] = Edge;
            }
        }
        for (int i = Middle + 1, blocked = 0; i < LineLength; ++i) {
            if (blocked) cell[i] = Edge;
            else if (cell[i] == Stone || cell[i] == Edge) {
                blocked = 1;
                if (!caro) cell[i] = Edge;
            }
        }
    }
};

// Shapes of lines with an own stone in the middle, memoised by line code.
class ShapeSolver {
public:
    explicit ShapeSolver(FiveRule rule) : rule_(rule), memo_(std::size_t{1} << (2 * LineLength), Unknown) {}

    Shape placed(Line& line) {
        const std::uint32_t code = line.code();
        if (memo_[code] == Unknown) memo_[code] = solve(line);
        return static_cast<Shape>(memo_[code]);
    }

private:
    static constexpr std::uint8_t Unknown = 0xFF;
    FiveRule rule_;
    std::vector<std::uint8_t> memo_;

    bool exactRule() const { return rule_ == FiveRule::ExactlyFive; }

    Shape solve(Line& line) {
        if (line.winsThroughMiddle(rule_)) return Five;
        if (exactRule() && line.overlineThroughMiddle()) return Overline;

        int completions = 0, first = -1, second = -1;
        for (int e = 0; e < LineLength; ++e) {
            if (line.cell[e] != Free) continue;
            line.cell[e] = Own;
            if (line.winsThroughMiddle(rule_)) {
                ++completions;
                (first < 0 ? first : second) = e;
            }
            line.cell[e] = Free;
        }
        if (completions >= 2) {
            bool open = second - first == 5;
            for (int i = first + 1; open && i < second; ++i) open = line.cell[i] == Own;
            return open ? F4 : FourFour;
        }
        if (completions == 1) return B4;

        // One stone more, anywhere on the line: the best it leads to.
        Shape best = Dead;
        int openThreeWays = 0;
        for (int e = 0; e < LineLength; ++e) {
            if (line.cell[e] != Free) continue;
            line.cell[e] = Own;
            const Shape next = placed(line);
            line.cell[e] = Free;
            Shape reached = Dead;
            switch (next) {
            case F4: reached = F3; break;
            case B4:
            case FourFour: reached = B3; break;
            case F3: reached = F2; ++openThreeWays; break;
            case B3: reached = B2; break;
            case F2:
            case F2A: reached = F1; break;
            case B2: reached = B1; break;
            default: break;
            }
            if (reached > best) best = reached;
        }
        if (best == F2 && openThreeWays >= 3) return F2A;
        return best;
    }
};

Line lineFor(const Color (&cells)[11], Color own) {
    Line line;
    for (int i = 0; i < LineLength; ++i) {
        const Color c = cells[i];
        line.cell[i] = c == Empty ? Free : c == own ? Own : c == Wall ? Edge : Stone;
    }
    line.cell[Middle] = Own;
    return line;
}

// The key's neighbour pairs as the eleven cells of a line, middle empty.
void cellsOfKey(std::uint32_t key, Color (&cells)[11]) {
    for (int offset = -5; offset <= 5; ++offset) {
        if (offset == 0) {
            cells[Middle] = Empty;
            continue;
        }
        cells[Middle + offset] = static_cast<Color>((key >> keyShiftFor(offset)) & 3);
    }
}

Shape solveKey(ShapeSolver& solver, std::uint32_t key, Color own, bool caro) {
    Color cells[11];
    cellsOfKey(key, cells);
    Line line = lineFor(cells, own);
    line.canonicalize(caro);
    return solver.placed(line);
}

}  // namespace

Shape lineShape(const Color (&cells)[11], Color own, FiveRule fiveRule) {
    ShapeSolver solver(fiveRule);
    Line line = lineFor(cells, own);
    line.canonicalize(fiveRule == FiveRule::NotBlockedBothEnds);
    return solver.placed(line);
}

Threat classify(const Shape (&shapes)[4], bool renjuBlack, bool& needsCheck) {
    int five = 0, overline = 0, openFour = 0, fourFour = 0, four = 0, openThree = 0, closedThree = 0, openTwo = 0;
    for (const Shape s : shapes) {
        five += s == Five;
        overline += s == Overline;
        openFour += s == F4;
        fourFour += s == FourFour;
        four += s == B4;
        openThree += s == F3;
        closedThree += s == B3;
        openTwo += s == F2 || s == F2A;
    }
    needsCheck = false;
    if (renjuBlack) {
        // A five wins even as a double four or three, but not beside an
        // overline in another line (the referee judges it so).
        if (five) return overline ? Foul : MakesFive;
        if (overline) return Foul;
        if (openFour + 2 * fourFour + four >= 2) return Foul;
        needsCheck = openThree >= 2;
    } else if (five) {
        return MakesFive;
    }
    if (openFour || fourFour || four >= 2) return MakesOpenFour;
    if (four) return openThree ? MakesFourThree : closedThree || openTwo ? MakesFourPlus : MakesFour;
    if (openThree >= 2) return MakesDoubleThree;
    if (openThree) return closedThree || openTwo ? MakesThreePlus : MakesThree;
    if (closedThree && (closedThree >= 2 || openTwo)) return MakesClosedThreePlus;
    if (openTwo >= 2) return MakesDoubleTwo;
    if (closedThree) return MakesClosedThree;
    if (openTwo) return MakesTwo;
    return NoThreat;
}

const ComboKindTable& comboKinds() {
    static const ComboKindTable* table = [] {
        auto* t = new ComboKindTable{};
        int number[ShapeKinds][ShapeKinds][ShapeKinds][ShapeKinds];
        int kinds = 0;
        for (int a = ShapeKinds - 1; a >= 0; --a)
            for (int b = a; b >= 0; --b)
                for (int c = b; c >= 0; --c)
                    for (int d = c; d >= 0; --d) {
                        number[a][b][c][d] = kinds;
                        const Shape shapes[4] = {static_cast<Shape>(a), static_cast<Shape>(b), static_cast<Shape>(c),
                                                 static_cast<Shape>(d)};
                        for (int i = 0; i < 4; ++i) t->shapes[kinds][i] = shapes[i];
                        ++kinds;
                    }
        for (std::uint32_t combo = 0; combo < (1u << 16); ++combo) {
            int s[4];
            bool valid = true;
            for (int d = 0; d < 4; ++d) {
                s[d] = static_cast<int>((combo >> (4 * d)) & 15);
                valid = valid && s[d] < ShapeKinds;
            }
            if (!valid) continue;
            std::sort(s, s + 4, [](int x, int y) { return x > y; });
            t->kindOf[combo] = static_cast<std::uint16_t>(number[s[0]][s[1]][s[2]][s[3]]);
        }
        return t;
    }();
    return *table;
}

void ShapeTable::prepare(Rule rule) {
    if (ready_ && rule == rule_) return;
    rule_ = rule;
    fiveRule_[0] = fiveRuleOf(rule, 0);
    fiveRule_[1] = fiveRuleOf(rule, 1);
    foulSide_ = rule == Rule::Renju ? 0 : -1;
    compact_ = rule == Rule::Freestyle;
    const bool caro = rule == Rule::Caro;

    ShapeSolver black(fiveRule_[0]);
    ShapeSolver whiteOwn(fiveRule_[1]);
    ShapeSolver& white = fiveRule_[1] == fiveRule_[0] ? black : whiteOwn;
    const auto both = [&](std::uint32_t key) {
        const Shape b = solveKey(black, key, BlackStone, caro);
        const Shape w = solveKey(white, key, WhiteStone, caro);
        return static_cast<std::uint8_t>(b | (w << 4));
    };
    if (compact_) {
        // Offsets -4..4 only: the outer pairs of the key stay empty.
        for (std::uint32_t inner = 0; inner < (1u << 16); ++inner) compactTable_[inner] = both(inner << 2);
    } else {
        if (!fullTable_) fullTable_ = static_cast<std::uint8_t*>(std::malloc(LineKeyCount));
        for (std::uint32_t key = 0; key < LineKeyCount; ++key) fullTable_[key] = both(key);
    }

    for (int side = 0; side < 2; ++side)
        for (std::uint32_t combo = 0; combo < (1u << 16); ++combo) {
            Shape shapes[4];
            bool validCombo = true;
            for (int d = 0; d < 4; ++d) {
                shapes[d] = shapeIn(static_cast<ShapeCombo>(combo), d);
                validCombo = validCombo && shapes[d] < ShapeKinds;
            }
            bool check = false;
            threatTable_[side][combo] = validCombo ? classify(shapes, side == foulSide_, check) : NoThreat;
            if (side == 0) foulCheck_[combo] = check && foulSide_ == 0;
        }
    ready_ = true;
}

}  // namespace deep
