#include "deep/threats.h"

#include <algorithm>

namespace deep {

namespace {

// Fours ordered for the search: the strongest threats first, then the
// ones nearest the last attack.
int fourOrder(const Position& pos, int slot, int side, int last) {
    int score = pos.threat(slot, side) * 64;
    if (last >= 0) {
        const int dx = std::abs(xOf(slot) - xOf(last)), dy = std::abs(yOf(slot) - yOf(last));
        score -= std::max(dx, dy);
    }
    return score;
}

struct Scored {
    int slot;
    int score;
};

void sortByScore(Scored* moves, int count) {
    std::stable_sort(moves, moves + count, [](const Scored& a, const Scored& b) { return a.score > b.score; });
}

// The side's last stone: where its next threat most likely grows.
int lastStoneOf(const Position& pos, int side) {
    for (int i = pos.moveCount() - 1; i >= 0; --i)
        if (pos.at(pos.move(i)) == stoneOf(side)) return pos.move(i);
    return -1;
}

constexpr std::uint64_t VctKeySalt = 0x5bd1e9955bd1e995ull;

}  // namespace

int fiveCellsOf(const Position& pos, int side, int* cells, int limit) {
    int count = 0;
    const SlotSet& fives = pos.fiveCells(side);
    for (int i = 0; i < SlotSet::Words && count < limit; ++i)
        for (std::uint64_t w = fives.word[i]; w && count < limit; w &= w - 1) cells[count++] = i * 64 + __builtin_ctzll(w);
    return count;
}

bool hasOpenFourThreat(Position& pos, int side) {
    if (pos.threatCount(side, MakesOpenFour) == 0) return false;
    if (side != pos.table().foulSide()) return true;
    bool found = false;
    pos.fourCells(side).forEach([&](int s) {
        if (!found && pos.threat(s, side) == MakesOpenFour && pos.mayPlay(s, side)) found = true;
    });
    return found;
}

bool hasDoubleThreat(Position& pos, int side) {
    // Renju black's legal double threes hold one real three at most, and its
    // threes may be false ones: the search proves its wins.
    if (side == pos.table().foulSide()) return false;
    bool found = false;
    if (pos.threatCount(side, MakesDoubleThree) > 0)
        pos.threeCells(side).forEach([&](int s) { found = found || pos.threat(s, side) == MakesDoubleThree; });
    if (!found && pos.threatCount(side, MakesFourThree) > 0)
        pos.fourCells(side).forEach([&](int s) { found = found || pos.threat(s, side) == MakesFourThree; });
    return found;
}

void defencesAgainstOpenFour(Position& pos, int attacker, MoveList& out) {
    SlotSet seen;
    seen.clear();
    const auto add = [&](int s) {
        if (!seen.contains(s)) {
            seen.insert(s);
            out.add(s);
        }
    };
    int threats[MaxMoves];
    int count = 0;
    pos.fourCells(attacker).forEach([&](int s) {
        if (pos.threat(s, attacker) == MakesOpenFour) threats[count++] = s;
    });
    for (int i = 0; i < count; ++i) {
        const int t = threats[i];
        if (!pos.mayPlay(t, attacker)) continue;
        add(t);
        for (int d = 0; d < 4; ++d) {
            const Shape s = pos.shape(t, d, attacker);
            if (s != F4 && s != FourFour && s != B4) continue;
            for (int k = -HalfLine; k <= HalfLine; ++k) {
                const int e = t + k * DirectionStep[d];
                if (k != 0 && pos.isEmpty(e) && pos.shape(e, d, attacker) >= B4 && pos.shape(e, d, attacker) != Overline)
                    add(e);
            }
        }
    }
}

ThreatSearch::ThreatSearch()
    : vcfFailed_(std::size_t{1} << CacheBits, CacheEntry{0, -1}), vctFailed_(std::size_t{1} << CacheBits, CacheEntry{0, -1}) {}

void ThreatSearch::clearCache() {
    std::fill(vcfFailed_.begin(), vcfFailed_.end(), CacheEntry{0, -1});
    std::fill(vctFailed_.begin(), vctFailed_.end(), CacheEntry{0, -1});
}

int ThreatSearch::findVcf(Position& pos, int maxPlies, long long budget) {
    budgetEnd_ = nodes_ + budget;
    maxPlies_ = maxPlies;
    int move = -1;
    return vcf(pos, maxPlies, move) ? move : -1;
}

int ThreatSearch::findVct(Position& pos, int maxThreats, long long budget) {
    budgetEnd_ = nodes_ + budget;
    int move = -1;
    return vct(pos, maxThreats, move) ? move : -1;
}

bool ThreatSearch::vcf(Position& pos, int pliesLeft, int& move) {
    const int me = pos.sideToMove(), opp = me ^ 1;
    int cells[2];
    if (fiveCellsOf(pos, me, cells, 1) > 0) {
        move = cells[0];
        winLength_ = maxPlies_ - pliesLeft + 1;
        return true;
    }
    if (pliesLeft <= 0 || outOfBudget()) return false;

    Scored moves[MaxMoves];
    int count = 0;
    const int oppFives = fiveCellsOf(pos, opp, cells, 2);
    if (oppFives >= 2) return false;
    if (oppFives == 1) {
        // The opponent's four comes first: only a block that is a four too.
        if (pos.threat(cells[0], me) < MakesFour || !pos.mayPlay(cells[0], me)) return false;
        moves[count++] = {cells[0], 0};
    } else {
        const int last = lastStoneOf(pos, me);
        pos.fourCells(me).forEach([&](int s) { moves[count++] = {s, fourOrder(pos, s, me, last)}; });
        sortByScore(moves, count);
    }
    if (count == 0) return false;

    CacheEntry& cached = vcfFailed_[pos.hash() & ((std::size_t{1} << CacheBits) - 1)];
    if (cached.key == pos.hash() && cached.plies >= pliesLeft) return false;

    for (int i = 0; i < count; ++i) {
        const int attack = moves[i].slot;
        if (!pos.mayPlay(attack, me)) continue;
        if (oppFives == 0 && pos.threat(attack, me) == MakesOpenFour) {
            move = attack;
            winLength_ = maxPlies_ - pliesLeft + 3;
            return true;
        }
        pos.play(attack);
        const int myFives = fiveCellsOf(pos, me, cells, 2);
        bool won = false;
        if (myFives >= 2) {
            won = true;
            winLength_ = maxPlies_ - pliesLeft + 3;
        } else if (myFives == 1) {
            const int block = cells[0];
            if (!pos.mayPlay(block, opp)) {
                won = true;
                winLength_ = maxPlies_ - pliesLeft + 3;
            } else {
                pos.play(block);
                int next;
                won = vcf(pos, pliesLeft - 2, next);
                pos.undo();
            }
        }
        pos.undo();
        if (won) {
            move = attack;
            return true;
        }
        if (nodes_ > budgetEnd_) return false;
    }
    cached = {pos.hash(), pliesLeft};
    return false;
}

bool ThreatSearch::vct(Position& pos, int threatsLeft, int& move) {
    const int me = pos.sideToMove(), opp = me ^ 1;
    int cells[2];
    if (fiveCellsOf(pos, me, cells, 1) > 0) {
        move = cells[0];
        return true;
    }
    if (outOfBudget()) return false;
    const int oppFives = fiveCellsOf(pos, opp, cells, 2);
    if (oppFives >= 2) return false;

    Scored moves[MaxMoves];
    int count = 0;
    if (oppFives == 1) {
        // Blocking keeps the initiative only if the block threatens too.
        if (pos.threat(cells[0], me) < MakesThree || !pos.mayPlay(cells[0], me)) return false;
        moves[count++] = {cells[0], 0};
    } else {
        if (vcf(pos, 2 * threatsLeft + 12, move)) return true;
        if (threatsLeft <= 0) return false;
        const int last = lastStoneOf(pos, me);
        pos.fourCells(me).forEach([&](int s) { moves[count++] = {s, fourOrder(pos, s, me, last)}; });
        pos.threeCells(me).forEach([&](int s) { moves[count++] = {s, fourOrder(pos, s, me, last)}; });
        sortByScore(moves, count);
    }
    if (count == 0) return false;

    const std::uint64_t key = pos.hash() ^ VctKeySalt;
    CacheEntry& cached = vctFailed_[key & ((std::size_t{1} << CacheBits) - 1)];
    if (cached.key == key && cached.plies >= threatsLeft) return false;

    for (int i = 0; i < count; ++i) {
        const int attack = moves[i].slot;
        if (!pos.mayPlay(attack, me)) continue;
        const bool isFour = pos.threat(attack, me) >= MakesFour;
        pos.play(attack);
        bool refuted = false;
        const int myFives = fiveCellsOf(pos, me, cells, 2);
        MoveList replies;
        if (myFives >= 2) {
            // Two fives to make: no defence.
        } else if (myFives == 1) {
            if (pos.mayPlay(cells[0], opp)) replies.add(cells[0]);
        } else if (hasOpenFourThreat(pos, me)) {
            // An open three: the defender may strike first with fours.
            int counter;
            if (vcf(pos, 2 * threatsLeft + 12, counter)) {
                refuted = true;
            } else {
                defencesAgainstOpenFour(pos, me, replies);
                pos.fourCells(opp).forEach([&](int s) {
                    if (!replies.contains(s)) replies.add(s);
                });
            }
        } else {
            refuted = true;  // no threat after all
        }
        const int threatsNext = isFour ? threatsLeft : threatsLeft - 1;
        for (int r = 0; r < replies.count && !refuted; ++r) {
            const int reply = replies.slot[r];
            if (!pos.mayPlay(reply, opp)) continue;
            pos.play(reply);
            int next;
            refuted = !vct(pos, threatsNext, next);
            pos.undo();
        }
        pos.undo();
        if (!refuted) {
            move = attack;
            return true;
        }
        if (nodes_ > budgetEnd_) return false;
    }
    cached = {key, threatsLeft};
    return false;
}

}  // namespace deep
