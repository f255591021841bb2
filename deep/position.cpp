#include "deep/position.h"

#include <cstring>
#include <memory>

namespace deep {

namespace {

struct ZobristKeys {
    std::uint64_t stone[SlotCount][2];
    std::uint64_t side;

    ZobristKeys() {
        std::uint64_t state = 0x6A09E667F3BCC909ull;
        const auto next = [&state] {
            // splitmix64
            state += 0x9E3779B97F4A7C15ull;
            std::uint64_t z = state;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            return z ^ (z >> 31);
        };
        for (auto& slot : stone)
            for (auto& key : slot) key = next();
        side = next();
    }
};

const ZobristKeys& zobrist() {
    static const ZobristKeys keys;
    return keys;
}

// A three is real only if the cell that makes it a straight four is no
// foul itself; the check nests this deep at most, deeper cells count as legal.
constexpr int MaxFoulNesting = 4;

constexpr bool isFiveClass(Threat t) { return t == MakesFive; }
constexpr bool isFourClass(Threat t) { return t >= MakesFour; }
constexpr bool isThreeClass(Threat t) { return t >= MakesThree && t <= MakesDoubleThree; }

bool onGrid(int slot) { return slot >= 0 && slot < SlotCount; }

}  // namespace

std::uint64_t stoneKey(int slot, int side) { return zobrist().stone[slot][side]; }
std::uint64_t Position::sideKey() const { return zobrist().side; }

void Position::reset(const ShapeTable& table, const CellWeights& weights, int width, int height) {
    table_ = &table;
    weights_ = &weights;
    width_ = width;
    height_ = height;
    side_ = 0;
    moveCount_ = 0;
    hash_ = 0;
    std::memset(key_, 0, sizeof key_);
    std::memset(combo_, 0, sizeof combo_);
    std::memset(threat_, 0, sizeof threat_);
    std::memset(moverValue_, 0, sizeof moverValue_);
    std::memset(waiterValue_, 0, sizeof waiterValue_);
    std::memset(near_, 0, sizeof near_);
    std::memset(moverSum_, 0, sizeof moverSum_);
    std::memset(waiterSum_, 0, sizeof waiterSum_);
    std::memset(threatCount_, 0, sizeof threatCount_);
    for (int side = 0; side < 2; ++side) {
        fives_[side].clear();
        fours_[side].clear();
        threes_[side].clear();
    }
    candidates_.clear();

    for (int slot = 0; slot < SlotCount; ++slot) {
        const int x = xOf(slot), y = yOf(slot);
        stone_[slot] = x >= 0 && y >= 0 && x < width && y < height ? Empty : Wall;
    }
    // Every line key sees the walls around it.
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (stone_[slot] != Wall) continue;
        for (int d = 0; d < 4; ++d)
            for (int k = 1; k <= HalfLine; ++k) {
                const int before = slot - k * DirectionStep[d], after = slot + k * DirectionStep[d];
                if (onGrid(before)) key_[before][d] |= static_cast<std::uint32_t>(Wall) << keyShiftFor(k);
                if (onGrid(after)) key_[after][d] |= static_cast<std::uint32_t>(Wall) << keyShiftFor(-k);
            }
    }
    for (int slot = 0; slot < SlotCount; ++slot)
        if (stone_[slot] == Empty) refreshAll(slot);
}

void Position::block(int x, int y) {
    const int slot = slotOf(x, y);
    if (stone_[slot] != Empty) return;
    forget(slot);
    candidates_.erase(slot);
    stone_[slot] = Wall;
    flipKeysAround(slot, Wall);
}

void Position::play(int slot) {
    put(slot, side_);
    moves_[moveCount_++] = slot;
    side_ ^= 1;
    hash_ ^= sideKey();
}

void Position::undo() {
    const int slot = moves_[--moveCount_];
    side_ ^= 1;
    hash_ ^= sideKey();
    remove(slot, side_);
}

void Position::put(int slot, int side) {
    forget(slot);
    candidates_.erase(slot);
    const Color c = stoneOf(side);
    stone_[slot] = c;
    hash_ ^= stoneKey(slot, side);
    flipKeysAround(slot, c);
    touchNeighbourhood(slot, 1);
}

void Position::remove(int slot, int side) {
    const Color c = stoneOf(side);
    stone_[slot] = Empty;
    hash_ ^= stoneKey(slot, side);
    flipKeysAround(slot, c);
    touchNeighbourhood(slot, -1);
    refreshAll(slot);
    if (near_[slot] > 0) candidates_.insert(slot);
}

void Position::flipKeysAround(int slot, Color c) {
    // A compact table reads four cells out: the fifth need not be touched.
    const int reach = table_->compact() ? HalfLine - 1 : HalfLine;
    for (int d = 0; d < 4; ++d) {
        const int step = DirectionStep[d];
        for (int k = 1; k <= reach; ++k) {
            const int before = slot - k * step, after = slot + k * step;
            key_[before][d] ^= static_cast<std::uint32_t>(c) << keyShiftFor(k);
            key_[after][d] ^= static_cast<std::uint32_t>(c) << keyShiftFor(-k);
            if (stone_[before] == Empty) refreshDirection(before, d);
            if (stone_[after] == Empty) refreshDirection(after, d);
        }
    }
}

void Position::touchNeighbourhood(int slot, int delta) {
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy) {
            const int n = slot + dx * Stride + dy;
            near_[n] = static_cast<std::uint8_t>(near_[n] + delta);
            if (stone_[n] != Empty) continue;
            if (near_[n] > 0) candidates_.insert(n);
            else candidates_.erase(n);
        }
}

void Position::refreshDirection(int slot, int direction) {
    const std::uint8_t both = table_->shapes(key_[slot][direction]);
    const int shift = 4 * direction;
    for (int side = 0; side < 2; ++side) {
        const Shape now = static_cast<Shape>(side == 0 ? both & 15u : both >> 4);
        const ShapeCombo combo = combo_[slot][side];
        // Most stones change nothing for the cells far down their lines.
        if (now == shapeIn(combo, direction)) continue;
        setCombo(slot, side, static_cast<ShapeCombo>((combo & ~(15u << shift)) | (static_cast<unsigned>(now) << shift)));
    }
}

void Position::refreshAll(int slot) {
    ShapeCombo combo[2] = {0, 0};
    for (int d = 0; d < 4; ++d) {
        const std::uint8_t both = table_->shapes(key_[slot][d]);
        combo[0] = static_cast<ShapeCombo>(combo[0] | ((both & 15u) << (4 * d)));
        combo[1] = static_cast<ShapeCombo>(combo[1] | ((both >> 4) << (4 * d)));
    }
    for (int side = 0; side < 2; ++side) setCombo(slot, side, combo[side]);
}

void Position::setCombo(int slot, int side, ShapeCombo combo) {
    combo_[slot][side] = combo;
    const Threat t = table_->threat(combo, side);
    const std::uint8_t coded = static_cast<std::uint8_t>(t | (table_->needsFoulCheck(combo, side) ? CheckFlag : 0));
    const Threat old = static_cast<Threat>(threat_[slot][side] & ThreatMask);
    threat_[slot][side] = coded;
    if (old != t) {
        if (old != NoThreat) --threatCount_[side][old];
        if (t != NoThreat) ++threatCount_[side][t];
        if (isFiveClass(old) != isFiveClass(t)) isFiveClass(t) ? fives_[side].insert(slot) : fives_[side].erase(slot);
        if (isFourClass(old) != isFourClass(t)) isFourClass(t) ? fours_[side].insert(slot) : fours_[side].erase(slot);
        if (isThreeClass(old) != isThreeClass(t))
            isThreeClass(t) ? threes_[side].insert(slot) : threes_[side].erase(slot);
    }
    const int kind = table_->comboKind(combo);
    const int mover = weights_->mover[side][kind], waiter = weights_->waiter[side][kind];
    moverSum_[side] += mover - moverValue_[slot][side];
    waiterSum_[side] += waiter - waiterValue_[slot][side];
    moverValue_[slot][side] = static_cast<std::int16_t>(mover);
    waiterValue_[slot][side] = static_cast<std::int16_t>(waiter);
}

void Position::forget(int slot) {
    for (int side = 0; side < 2; ++side) {
        const Threat old = static_cast<Threat>(threat_[slot][side] & ThreatMask);
        if (old != NoThreat) --threatCount_[side][old];
        fives_[side].erase(slot);
        fours_[side].erase(slot);
        threes_[side].erase(slot);
        threat_[slot][side] = NoThreat;
        moverSum_[side] -= moverValue_[slot][side];
        waiterSum_[side] -= waiterValue_[slot][side];
        moverValue_[slot][side] = waiterValue_[slot][side] = 0;
    }
}

bool Position::isFoulAt(int slot, int nesting) {
    if (table_->foulSide() != 0) return false;
    const std::uint8_t coded = threat_[slot][0];
    if ((coded & ThreatMask) == Foul) return true;
    if (!(coded & CheckFlag) || nesting > MaxFoulNesting) return false;
    // Two open threes: a foul only if two of them are real. A real three
    // becomes, by a legal stone on its line, a straight four holding this
    // stone; a stone there that makes five is a five, not that four.
    const ShapeCombo before = combo_[slot][0];
    put(slot, 0);
    int real = 0;
    for (int d = 0; d < 4 && real < 2; ++d) {
        if (shapeIn(before, d) != F3) continue;
        const int step = DirectionStep[d];
        for (int k = -4; k <= 4; ++k) {
            const int e = slot + k * step;
            if (k == 0 || stone_[e] != Empty || shapeIn(combo_[e][0], d) != F4) continue;
            bool joined = true;
            for (int between = (k < 0 ? k + 1 : 1); joined && between < (k < 0 ? 0 : k); ++between)
                joined = stone_[slot + between * step] == BlackStone;
            if (!joined || (threat_[e][0] & ThreatMask) == MakesFive || isFoulAt(e, nesting + 1)) continue;
            ++real;
            break;
        }
    }
    remove(slot, 0);
    return real >= 2;
}

bool Position::consistent() const {
    auto fresh = std::make_unique<Position>();
    fresh->reset(*table_, *weights_, width_, height_);
    for (int slot = 0; slot < SlotCount; ++slot) {
        const int x = xOf(slot), y = yOf(slot);
        if (stone_[slot] == Wall && x >= 0 && y >= 0 && x < width_ && y < height_) fresh->block(x, y);
    }
    for (int slot = 0; slot < SlotCount; ++slot)
        if (stone_[slot] == BlackStone || stone_[slot] == WhiteStone) fresh->put(slot, stone_[slot] - 1);
    if (side_ == 1) fresh->hash_ ^= sideKey();
    const Position& f = *fresh;
    if (std::memcmp(f.stone_, stone_, sizeof stone_) || std::memcmp(f.near_, near_, sizeof near_) || f.hash_ != hash_)
        return false;
    // A compact table reads four cells out: stones leave the fifth alone.
    const std::uint32_t keyMask = table_->compact() ? 0x3FFFCu : 0xFFFFFu;
    for (int slot = 0; slot < SlotCount; ++slot)
        for (int d = 0; d < 4; ++d)
            if (stone_[slot] == Empty && ((f.key_[slot][d] ^ key_[slot][d]) & keyMask)) return false;
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (stone_[slot] != Empty) continue;
        for (int side = 0; side < 2; ++side)
            if (f.combo_[slot][side] != combo_[slot][side] || f.threat_[slot][side] != threat_[slot][side] ||
                f.moverValue_[slot][side] != moverValue_[slot][side] ||
                f.waiterValue_[slot][side] != waiterValue_[slot][side])
                return false;
    }
    return std::memcmp(f.moverSum_, moverSum_, sizeof moverSum_) == 0 &&
           std::memcmp(f.waiterSum_, waiterSum_, sizeof waiterSum_) == 0 &&
           std::memcmp(f.threatCount_, threatCount_, sizeof threatCount_) == 0 &&
           std::memcmp(f.fives_, fives_, sizeof fives_) == 0 && std::memcmp(f.fours_, fours_, sizeof fours_) == 0 &&
           std::memcmp(f.threes_, threes_, sizeof threes_) == 0 &&
           std::memcmp(&f.candidates_, &candidates_, sizeof candidates_) == 0;
}

}  // namespace deep
