// The selective search of deep mode: iterative deepening of a principal
// variation search with aspiration windows, over the board of line shapes.
// Move lists are cut by threats (against a four only its block, against an
// open three its defences and one's own fours), later quiet moves are
// reduced, hopeless ones pruned near the leaves, and a win by fours is
// looked for at every leaf. Wins and losses count the plies they take.
#pragma once

#include <atomic>
#include <cstdint>

#include "deep/evaluation.h"
#include "deep/position.h"
#include "deep/table.h"
#include "deep/threats.h"

namespace deep {

constexpr int MaxPly = 96;
constexpr int WinScore = 30000;
// Scores beyond this are proven wins or losses.
constexpr int ProvenScore = WinScore - 1000;

struct SearchLimits {
    long long softMs = -1;  // aim: no new iteration past it; -1: none
    long long hardMs = -1;  // cut wherever the search is; -1: none
    long long nodes = 0;    // stop after this many nodes; 0: none
    int maxDepth = 60;
    const std::atomic<bool>* stop = nullptr;  // set from another thread to cut the search
    long long (*clock)() = nullptr;           // milliseconds; required with a time limit
    long long startMs = -1;                   // when the turn began (clock); -1: when the search begins
    // Several searchers on one turn: each adds its nodes here every so
    // often, and the node limit counts them all.
    std::atomic<long long>* sharedNodes = nullptr;
    // The wins by threats looked for at the root before iterating: a helper
    // leaves them to the main search.
    bool rootThreats = true;
    // Every iteration searched this many plies deeper, so that helpers do
    // not all search what the main search does.
    int depthSkew = 0;
    // For an analysis board: reports of the root moves as they are searched,
    // of the best move so far and of moves proven lost, a few dozen a second
    // at most.
    bool live = false;
    // The best root moves searched one after another, each reported with
    // its line after every iteration; 1 is the usual search.
    int multiPv = 1;
    // Root moves the search must not play, or null.
    const SlotSet* avoid = nullptr;
};

enum class ReportKind : std::uint8_t {
    Iteration,       // an iteration ended, run to its end or cut
    IterationStart,  // live: another iteration begins
    Searching,       // live: the search of the root move `move` begins
    Searched,        // live: and ends
    Lost,            // live: the root move `move` is proven lost
    Best,            // live: `move` is the best so far
    Ranked,          // the `rank`-th best root move, its value and line
};

struct IterationReport {
    int depth;
    int value;
    long long nodes;  // of the turn so far
    long long ms;     // of the turn so far
    bool complete;
    int move;  // what the turn answers if it stops here
    ReportKind kind = ReportKind::Iteration;
    int rank = 0;  // from 1
    int lineLength = 0;
    const int* line = nullptr;  // slots from the root move on; valid during the call
};

// Move-ordering memory that outlives a search: the history of cutoffs and
// two killer moves per ply.
struct History {
    int cutoffs[2][SlotCount];
    int killers[MaxPly + 2][2];

    void clear();
    // A new turn: old evidence counts less.
    void age();
};

class Search {
public:
    Search(Position& pos, TranspositionTable& table, History& history, ThreatSearch& threats, const RuleWeights& weights)
        : pos_(pos), table_(table), history_(history), threats_(threats), weights_(weights) {}

    using Report = void (*)(void* context, const IterationReport& report);
    // The move for the side to move (a slot), or -1 when no cell is free.
    int think(const SearchLimits& limits, Report report = nullptr, void* context = nullptr);

    // This search's own nodes, threat searches included.
    long long nodes() const { return nodes_ + threats_.nodes() - threatNodesAtStart_; }
    int completedDepth() const { return completedDepth_; }
    int rootValue() const { return rootValue_; }
    // The last turn's value came from a search (not a forced or only move).
    bool rootValueKnown() const { return rootValueKnown_; }

    // Search knobs, for matches that measure them; fixed in play.
    struct Knobs {
        bool reductions = true;
        bool futility = true;
        bool razoring = true;
        bool leafVcf = false;
        bool rootVct = true;
        bool nullMove = false;
        bool moveCountPruning = true;
        bool iterativeReduction = true;
        // The opponent's threat wins looked for after each root move.
        bool replyVct = false;
        bool doubleThreeWin = true;
        bool threatExtension = true;
        // Margins and limits of the pruning, in evaluation units and plies.
        int futilityDepth = 4;
        int futilityMargin = 70;
        int moveFutilityDepth = 3;
        int moveFutilityMargin = 120;
        int moveCountDepth = 5;
        int moveCountBase = 3;
        // Late moves are reduced by log(depth) log(index) / (divisor / 100).
        int reductionDivisor = 190;
    };
    Knobs knobs;

private:
    template <bool Pv>
    int node(int depth, int alpha, int beta, int ply, bool afterPass = false);
    int quiesce(int alpha, int beta, int ply);
    int iterate(const SearchLimits& limits, Report report, void* context);
    // The root moves from `first` on; the best ends up at `first`.
    int searchRoot(int depth, int first, int alpha, int beta);
    bool listRootMoves(int& onlyMove);
    bool mayPlayAtRoot(int slot) const { return !limits_.avoid || !limits_.avoid->contains(slot); }
    void checkLimits();
    long long allNodes();
    long long elapsedMs() const;
    void tell(ReportKind kind, int move, int depth, int value = 0);
    void tellBest(int depth, bool iterationEnd);
    void tellRanked(int rank, int slot, int depth, int value);
    // The root move and the table's best moves after it.
    int principalLine(int first, int* line, int maxLength);

    Position& pos_;
    TranspositionTable& table_;
    History& history_;
    ThreatSearch& threats_;
    const RuleWeights& weights_;

    SearchLimits limits_;
    long long startMs_ = 0;
    long long nodes_ = 0;
    long long threatNodesAtStart_ = 0;
    long long sharedSoFar_ = 0;  // of nodes(), added to limits_.sharedNodes
    bool stopped_ = false;
    int completedDepth_ = 0;
    int rootValue_ = 0;
    bool rootValueKnown_ = false;
    // Plies a late quiet move is reduced by, by depth and move index.
    std::int8_t reductions_[64][64];

    struct RootMove {
        int slot;
        int value;
        int previous;
    };
    RootMove root_[MaxMoves];
    int rootCount_ = 0;
    int rootBest_ = -1;

    Report report_ = nullptr;
    void* context_ = nullptr;
    // The live reports so far, to keep them few.
    long long lastSearchingMs_ = -1;
    long long lastBestMs_ = -1;
    int lastBestTold_ = -1;
    bool searchingTold_ = false;
    SlotSet lostTold_;
};

}  // namespace deep
