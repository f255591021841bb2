// The board of line shapes: stones, and for every empty cell what a stone
// of either side would make there, kept up to date by table lookups on the
// neighbourhood of each line as stones come and go.
#pragma once

#include <cstdint>

#include "deep/shapes.h"

namespace deep {

constexpr int MaxMoves = MaxBoard * MaxBoard;

// A set of slots, one bit each.
struct SlotSet {
    static constexpr int Words = (SlotCount + 63) / 64;
    std::uint64_t word[Words];

    void clear() {
        for (auto& w : word) w = 0;
    }
    void insert(int slot) { word[slot >> 6] |= std::uint64_t{1} << (slot & 63); }
    void erase(int slot) { word[slot >> 6] &= ~(std::uint64_t{1} << (slot & 63)); }
    bool contains(int slot) const { return (word[slot >> 6] >> (slot & 63)) & 1; }
    bool empty() const {
        for (auto w : word)
            if (w) return false;
        return true;
    }
    template <typename Visit>
    void forEach(Visit visit) const {
        for (int i = 0; i < Words; ++i)
            for (std::uint64_t w = word[i]; w; w &= w - 1) visit(i * 64 + __builtin_ctzll(w));
    }
    int first() const {
        for (int i = 0; i < Words; ++i)
            if (word[i]) return i * 64 + __builtin_ctzll(word[i]);
        return -1;
    }
};

// What each empty cell is worth to the evaluation, by the kind of its four
// shapes for a side (black, white): once as seen by the side to move, once
// by the side that waits. The evaluation layer fills it in.
struct CellWeights {
    std::int16_t mover[2][ComboKinds];
    std::int16_t waiter[2][ComboKinds];
};

class Position {
public:
    // An empty width x height board under the table's rule.
    void reset(const ShapeTable& table, const CellWeights& weights, int width, int height);
    // A blocked cell: nobody plays it and no line runs through it. Only on a
    // board without stones.
    void block(int x, int y);

    // Setting up a position without a history: a stone of `side` on an
    // empty cell, and the side to move.
    void setStone(int x, int y, int side) { put(slotOf(x, y), side); }
    void setSideToMove(int side) {
        if (side != side_) passTurn();
    }

    // The side to move puts a stone on an empty cell; undo takes back the last.
    void play(int slot);
    void undo();
    // A pass: the other side moves (for threat searches of either side).
    void passTurn() { side_ ^= 1; hash_ ^= sideKey(); }

    int sideToMove() const { return side_; }
    int moveCount() const { return moveCount_; }
    int move(int index) const { return moves_[index]; }
    int lastMove() const { return moveCount_ > 0 ? moves_[moveCount_ - 1] : -1; }
    int width() const { return width_; }
    int height() const { return height_; }
    std::uint64_t hash() const { return hash_; }
    const ShapeTable& table() const { return *table_; }

    Color at(int slot) const { return stone_[slot]; }
    bool isEmpty(int slot) const { return stone_[slot] == Empty; }
    ShapeCombo shapes(int slot, int side) const { return combo_[slot][side]; }
    Shape shape(int slot, int direction, int side) const { return shapeIn(combo_[slot][side], direction); }
    Threat threat(int slot, int side) const { return static_cast<Threat>(threat_[slot][side] & ThreatMask); }
    // Renju black: the class above may be a foul after all (isFoul tells).
    bool mayBeFoul(int slot, int side) const { return threat_[slot][side] & CheckFlag; }
    // True when renju black may not play the empty slot.
    bool isFoul(int slot) { return isFoulAt(slot, 0); }
    // The side may play the empty slot: it is no foul of renju black.
    bool mayPlay(int slot, int side) {
        return side != table_->foulSide() || (threat(slot, side) != Foul && (!mayBeFoul(slot, side) || !isFoul(slot)));
    }

    int threatCount(int side, Threat t) const { return threatCount_[side][t]; }
    // Empty cells where the side makes a five; a four or better; an open three.
    const SlotSet& fiveCells(int side) const { return fives_[side]; }
    const SlotSet& fourCells(int side) const { return fours_[side]; }
    const SlotSet& threeCells(int side) const { return threes_[side]; }
    // Empty cells with a stone within two rows and columns.
    const SlotSet& candidates() const { return candidates_; }
    bool isCandidate(int slot) const { return candidates_.contains(slot); }

    // The evaluation's sums over all empty cells.
    int moverSum(int side) const { return moverSum_[side]; }
    int waiterSum(int side) const { return waiterSum_[side]; }

    // For tests: everything recomputed from the stones alone.
    bool consistent() const;

private:
    static constexpr std::uint8_t ThreatMask = 0x7F;
    static constexpr std::uint8_t CheckFlag = 0x80;

    void put(int slot, int side);
    void remove(int slot, int side);
    void refreshDirection(int slot, int direction);
    void refreshAll(int slot);
    void forget(int slot);
    // The side's shapes at the slot, with the threat class, counts, sets
    // and evaluation share that follow from them.
    void setCombo(int slot, int side, ShapeCombo combo);
    // Stone (or wall) c comes or goes at the slot: the keys of the cells
    // down its lines, and their shapes.
    void flipKeysAround(int slot, Color c);
    void touchNeighbourhood(int slot, int delta);
    bool isFoulAt(int slot, int nesting);
    std::uint64_t sideKey() const;

    const ShapeTable* table_ = nullptr;
    const CellWeights* weights_ = nullptr;
    int width_ = 0, height_ = 0;
    int side_ = 0;
    int moveCount_ = 0;
    std::uint64_t hash_ = 0;
    int moves_[MaxMoves];

    Color stone_[SlotCount];
    std::uint32_t key_[SlotCount][4];
    ShapeCombo combo_[SlotCount][2];
    std::uint8_t threat_[SlotCount][2];
    std::int16_t moverValue_[SlotCount][2];
    std::int16_t waiterValue_[SlotCount][2];
    std::uint8_t near_[SlotCount];

    int moverSum_[2], waiterSum_[2];
    int threatCount_[2][ThreatKinds];
    SlotSet fives_[2], fours_[2], threes_[2];
    SlotSet candidates_;
};

// Zobrist key of a stone of `side` on `slot`.
std::uint64_t stoneKey(int slot, int side);

}  // namespace deep
