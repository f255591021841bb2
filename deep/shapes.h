// Line shapes: what a stone on an empty cell would make in one line, for
// each side, read from a table indexed by the line's neighbourhood; and the
// threat class of a cell, read from a table indexed by its four shapes.
#pragma once

#include <cstdint>

namespace deep {

constexpr int MaxBoard = 20;
// A line key reaches five cells out on each side: far enough to tell an
// exact five from an overline and a caro five blocked at both ends.
constexpr int HalfLine = 5;
constexpr int Stride = MaxBoard + 2 * HalfLine;
constexpr int SlotCount = Stride * Stride;

constexpr int slotOf(int x, int y) { return (x + HalfLine) * Stride + (y + HalfLine); }
constexpr int xOf(int slot) { return slot / Stride - HalfLine; }
constexpr int yOf(int slot) { return slot % Stride - HalfLine; }
// Directions (0, 1), (1, 0), (1, 1), (1, -1), as slot steps.
constexpr int DirectionStep[4] = {1, Stride, Stride + 1, Stride - 1};

// Sides are 0 (black, who moved first) and 1 (white); a stone's code on the
// board is its side + 1.
enum Color : std::uint8_t { Empty = 0, BlackStone = 1, WhiteStone = 2, Wall = 3 };
constexpr Color stoneOf(int side) { return static_cast<Color>(side + 1); }

enum class Rule : std::uint8_t { Freestyle, Standard, Renju, Caro };

// What wins for one side.
enum class FiveRule : std::uint8_t {
    FiveOrMore,         // free-style, renju white
    ExactlyFive,        // exact five, renju black
    NotBlockedBothEnds  // caro: five or more, except exactly five between two opponent stones
};

// What a stone on the cell makes in one line, counted only through that
// stone. Ordered from nothing to a five.
enum Shape : std::uint8_t {
    Dead,      // no five can ever run through here
    B1,        // one stone, room closed on a side
    F1,        // one stone in the open
    B2,        // a two that can become a closed three
    F2,        // a two that can become an open three (one or two ways)
    F2A,       // an open two with three or more ways to an open three
    B3,        // a closed three: one move from a four
    F3,        // an open three: one move from an open four
    B4,        // a four: one cell completes the five
    F4,        // an open four: either end completes it
    FourFour,  // two cells complete fives in this line, not as an open four
    Five,
    Overline,  // six or more, where that wins nothing
    ShapeKinds
};

// What a stone on the cell threatens, all four lines together. Ordered by
// strength: any class from MakesFour up makes a four, from MakesThree up to
// MakesDoubleThree an open three.
enum Threat : std::uint8_t {
    NoThreat,
    Foul,  // renju black may not play here
    MakesTwo,
    MakesClosedThree,
    MakesDoubleTwo,
    MakesClosedThreePlus,
    MakesThree,
    MakesThreePlus,
    MakesDoubleThree,
    MakesFour,
    MakesFourPlus,
    MakesFourThree,
    MakesOpenFour,  // an open four, or two fours at once
    MakesFive,
    ThreatKinds
};

// The four shapes of a cell for one side, a nibble per direction.
using ShapeCombo = std::uint16_t;
constexpr Shape shapeIn(ShapeCombo combo, int direction) { return static_cast<Shape>((combo >> (4 * direction)) & 15); }

// The four shapes as a multiset: which line holds which shape does not
// change what the cell is worth. Kinds are numbered 0 .. ComboKinds - 1.
constexpr int ComboKinds = 1820;  // multisets of four of the thirteen shapes
struct ComboKindTable {
    std::uint16_t kindOf[1 << 16];       // by combo; 0 for combos with no shape of that number
    Shape shapes[ComboKinds][4];         // the shapes of each kind, strongest first
};
const ComboKindTable& comboKinds();

// A line key holds the ten neighbours of a cell in one direction, two bits
// each: offsets -5..-1 in bit pairs 0..4, offsets +1..+5 in pairs 5..9.
constexpr int keyShiftFor(int offset) { return offset < 0 ? 2 * (offset + 5) : 2 * (offset + 4); }
constexpr std::uint32_t LineKeyCount = 1u << 20;

// The shape tables of one rule: for every line key the shape a black and a
// white stone would make. Built once per rule, on first use.
class ShapeTable {
public:
    // Ready for `rule` (builds or rebuilds the tables as needed).
    void prepare(Rule rule);
    Rule rule() const { return rule_; }
    // Only four cells out on each side matter: stones further out need not
    // touch the keys.
    bool compact() const { return compact_; }

    // Shapes packed as black in the low nibble, white in the high one.
    std::uint8_t shapes(std::uint32_t key) const {
        return compact_ ? compactTable_[(key >> 2) & 0xFFFF] : fullTable_[key];
    }
    Threat threat(ShapeCombo combo, int side) const { return threatTable_[side][combo]; }
    int comboKind(ShapeCombo combo) const { return kinds_->kindOf[combo]; }
    // Renju black with two open threes here: a foul only if two of them are
    // real threes, which the lines alone cannot tell.
    bool needsFoulCheck(ShapeCombo combo, int side) const { return side == foulSide_ && foulCheck_[combo]; }
    FiveRule fiveRule(int side) const { return fiveRule_[side]; }
    int foulSide() const { return foulSide_; }

private:
    bool ready_ = false;
    Rule rule_ = Rule::Freestyle;
    // Free-style needs only four cells out on each side: the whole table
    // then fits in a fast cache.
    bool compact_ = true;
    FiveRule fiveRule_[2]{};
    int foulSide_ = -1;
    std::uint8_t compactTable_[1 << 16];
    std::uint8_t* fullTable_ = nullptr;
    Threat threatTable_[2][1 << 16];
    bool foulCheck_[1 << 16];
    const ComboKindTable* kinds_ = &comboKinds();
};

// The five rule of each side under `rule`.
FiveRule fiveRuleOf(Rule rule, int side);

// The shape a stone of a side makes in a line. `cells` are the eleven cells
// of the line, the middle one (index 5) empty; values are Color codes, and
// the side's own stones are `own`. For tests and for building the tables.
Shape lineShape(const Color (&cells)[11], Color own, FiveRule fiveRule);

// The threat class of four shapes; `renjuBlack` marks fouls. `needsCheck`
// is set for renju black's possible double threes.
Threat classify(const Shape (&shapes)[4], bool renjuBlack, bool& needsCheck);

}  // namespace deep
