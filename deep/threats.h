// Threat search: wins by continuous fours (VCF) and by fours and open
// threes (VCT), and the defences against an open three. Under every rule:
// renju black never counts on a foul, and a four whose only block is a
// foul of black's wins for white.
#pragma once

#include <cstdint>
#include <vector>

#include "deep/position.h"

namespace deep {

// A list of slots, at most one per cell.
struct MoveList {
    int slot[MaxMoves];
    int count = 0;
    void add(int s) { slot[count++] = s; }
    bool contains(int s) const {
        for (int i = 0; i < count; ++i)
            if (slot[i] == s) return true;
        return false;
    }
};

// The cells where `side` makes a five; at most `limit` of them.
int fiveCellsOf(const Position& pos, int side, int* cells, int limit);

// True when `side` has an open four to make (an open three on the board, or
// two fours from one stone) that it may play.
bool hasOpenFourThreat(Position& pos, int side);

// True when `side` may make two open threes, or a four and an open three,
// with one stone.
bool hasDoubleThreat(Position& pos, int side);

// The moves of `defender` against every open four `attacker` could make:
// the open-four cells and the cells of their lines where the attacker would
// make a four. Fours of the defender's own are not included.
void defencesAgainstOpenFour(Position& pos, int attacker, MoveList& out);

class ThreatSearch {
public:
    ThreatSearch();

    // A win by continuous fours for the side to move, within `maxPlies`
    // plies and `budget` nodes. Returns its first move, or -1.
    int findVcf(Position& pos, int maxPlies, long long budget);
    // A win by fours and open threes for the side to move, at most
    // `maxThreats` threats deep (fours inside it are not counted),
    // within `budget` nodes. Returns its first move, or -1.
    int findVct(Position& pos, int maxThreats, long long budget);

    // Plies from the position to the five of the last win findVcf found.
    int winLength() const { return winLength_; }
    long long nodes() const { return nodes_; }
    void clearCache();
    // Asked every 1024 nodes; once it says stop, every search gives up.
    void setStopCheck(bool (*mustStop)(void* context), void* context) {
        mustStop_ = mustStop;
        stopContext_ = context;
    }

private:
    bool vcf(Position& pos, int pliesLeft, int& move);
    bool vct(Position& pos, int threatsLeft, int& move);
    bool outOfBudget() {
        if ((++nodes_ & 1023) == 0 && mustStop_ && mustStop_(stopContext_)) budgetEnd_ = 0;
        return nodes_ > budgetEnd_;
    }

    struct CacheEntry {
        std::uint64_t key;
        std::int32_t plies;
    };
    static constexpr int CacheBits = 16;
    std::vector<CacheEntry> vcfFailed_;
    std::vector<CacheEntry> vctFailed_;
    long long nodes_ = 0;
    long long budgetEnd_ = 0;
    int maxPlies_ = 0;
    bool (*mustStop_)(void*) = nullptr;
    void* stopContext_ = nullptr;
    int winLength_ = 0;
};

}  // namespace deep
