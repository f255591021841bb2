#include "deep/search.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace deep {

namespace {

constexpr int Infinity = WinScore + 1;

constexpr int winIn(int ply) { return WinScore - ply; }
constexpr int lossIn(int ply) { return -WinScore + ply; }

// Proven scores are stored as seen from the node, not from the root.
int toTable(int v, int ply) { return v >= ProvenScore ? v + ply : v <= -ProvenScore ? v - ply : v; }
int fromTable(int v, int ply) { return v >= ProvenScore ? v - ply : v <= -ProvenScore ? v + ply : v; }

// Move order: what a stone makes for the side to move, and what it takes
// from the other side, by threat class and then by line shapes.
constexpr int AttackOrder[ThreatKinds] = {0, 0, 40, 60, 150, 200, 500, 700, 2500, 300, 800, 6000, 12000, 30000};
constexpr int DefendOrder[ThreatKinds] = {0, 0, 20, 30, 80, 100, 250, 350, 1200, 150, 400, 3000, 6000, 15000};
constexpr int OwnShapeOrder[ShapeKinds] = {0, 1, 2, 3, 6, 8, 6, 12, 10, 0, 0, 0, 0};
constexpr int OtherShapeOrder[ShapeKinds] = {0, 1, 1, 2, 4, 6, 4, 8, 6, 0, 0, 0, 0};

constexpr int TableMoveBonus = 1 << 24;
constexpr int KillerBonus = 1 << 20;
constexpr int HistoryLimit = 1 << 16;

// A win by fours looked for at each leaf: this many plies and nodes at most.
constexpr int LeafVcfPlies = 16;
constexpr long long LeafVcfBudget = 300;
// At the root, before the search.
constexpr int RootVcfPlies = 40;
constexpr long long RootVcfBudget = 200000;
constexpr int RootVctThreats = 6;
// Leaves facing an open three search its answers this many plies deeper at most.
constexpr int MaxThreatExtension = 4;
// After each root move, for the other side.
constexpr int ReplyVctThreats = 5;
constexpr long long ReplyVctBudget = 1000;

int orderScore(const Position& pos, int slot, int me) {
    const int opp = me ^ 1;
    int score = AttackOrder[pos.threat(slot, me)] + DefendOrder[pos.threat(slot, opp)];
    const ShapeCombo mine = pos.shapes(slot, me), theirs = pos.shapes(slot, opp);
    for (int d = 0; d < 4; ++d) score += OwnShapeOrder[shapeIn(mine, d)] + OtherShapeOrder[shapeIn(theirs, d)];
    return score;
}

// Neither a threat of one's own nor an answer to one of the other side's.
bool isQuiet(const Position& pos, int slot, int me) {
    return pos.threat(slot, me) < MakesThree && pos.threat(slot, me ^ 1) < MakesThree;
}

// The other side threatens nothing that a static value could overlook.
bool opponentQuiet(const Position& pos, int opp) {
    return pos.threatCount(opp, MakesDoubleThree) + pos.threatCount(opp, MakesFourThree) +
               pos.threatCount(opp, MakesOpenFour) ==
           0;
}

// log(n) in hundredths, for the reductions of late moves.
struct LogTable {
    int hundredths[64];
    LogTable() {
        for (int n = 0; n < 64; ++n) hundredths[n] = n < 1 ? 0 : static_cast<int>(std::lround(100 * std::log(n)));
    }
};
const LogTable logTable;

struct ScoredMove {
    int slot;
    int score;
};

// The moves of a node, best first, picked one at a time: most nodes cut off
// after a few.
struct MovePicker {
    ScoredMove moves[MaxMoves];
    int count = 0;
    int next = 0;

    void add(int slot, int score) { moves[count++] = {slot, score}; }
    bool contains(int slot) const {
        for (int i = 0; i < count; ++i)
            if (moves[i].slot == slot) return true;
        return false;
    }
    void raise(int slot, int bonus) {
        for (int i = 0; i < count; ++i)
            if (moves[i].slot == slot) moves[i].score += bonus;
    }
    int pick() {
        if (next >= count) return -1;
        int best = next;
        for (int i = next + 1; i < count; ++i)
            if (moves[i].score > moves[best].score) best = i;
        std::swap(moves[next], moves[best]);
        return moves[next++].slot;
    }
};

}  // namespace

void History::clear() {
    std::memset(cutoffs, 0, sizeof cutoffs);
    for (auto& k : killers) k[0] = k[1] = -1;
}

void History::age() {
    for (auto& side : cutoffs)
        for (int& h : side) h /= 4;
    for (auto& k : killers) k[0] = k[1] = -1;
}

long long Search::elapsedMs() const { return limits_.clock ? limits_.clock() - startMs_ : 0; }

// The turn's nodes over every searcher, as far as the others have told.
long long Search::allNodes() {
    const long long own = nodes();
    if (!limits_.sharedNodes) return own;
    const long long fresh = own - sharedSoFar_;
    sharedSoFar_ = own;
    return limits_.sharedNodes->fetch_add(fresh, std::memory_order_relaxed) + fresh;
}

void Search::checkLimits() {
    if (limits_.stop && limits_.stop->load(std::memory_order_relaxed)) stopped_ = true;
    const long long nodes = allNodes();
    if (limits_.nodes > 0 && nodes >= limits_.nodes) stopped_ = true;
    if (limits_.hardMs >= 0 && elapsedMs() > limits_.hardMs) stopped_ = true;
}

int Search::quiesce(int alpha, int beta, int ply) {
    (void)alpha;
    (void)beta;
    const int me = pos_.sideToMove();
    if (knobs.leafVcf && !pos_.fourCells(me).empty()) {
        const int win = threats_.findVcf(pos_, LeafVcfPlies, LeafVcfBudget);
        if (stopped_) return 0;
        if (win >= 0) return winIn(ply + threats_.winLength());
    }
    return evaluate(pos_, weights_);
}

template <bool Pv>
int Search::node(int depth, int alpha, int beta, int ply, bool afterPass) {
    if ((++nodes_ & 255) == 0) checkLimits();
    if (stopped_) return 0;
    const int me = pos_.sideToMove(), opp = me ^ 1;

    // What is decided before any move: a five to make, two fives to stop,
    // a four to block, an open four to make.
    int cells[2];
    if (fiveCellsOf(pos_, me, cells, 1)) return winIn(ply + 1);
    const int oppFives = fiveCellsOf(pos_, opp, cells, 2);
    if (oppFives >= 2) return lossIn(ply + 2);
    int forced = -1;
    if (oppFives == 1) {
        forced = cells[0];
        if (!pos_.mayPlay(forced, me)) return lossIn(ply + 2);
    } else if (hasOpenFourThreat(pos_, me)) {
        return winIn(ply + 3);
    } else if (knobs.doubleThreeWin && pos_.fourCells(opp).empty() && hasDoubleThreat(pos_, me)) {
        // Two open threes at once, or a four and an open three, and the
        // other side has no four to answer with: it can stop only one.
        return winIn(ply + 5);
    }
    if (ply >= MaxPly) return evaluate(pos_, weights_);

    alpha = std::max(alpha, lossIn(ply));
    beta = std::min(beta, winIn(ply + 1));
    if (alpha >= beta) return alpha;

    // An open three of the other side must be answered: a leaf there
    // searches the answers, a few plies at most.
    const bool oppThreat = forced < 0 && hasOpenFourThreat(pos_, opp);
    if (depth <= 0 && forced < 0 && (!oppThreat || !knobs.threatExtension || depth <= -MaxThreatExtension))
        return quiesce(alpha, beta, ply);

    const std::uint64_t key = pos_.hash();
    TableHit hit;
    int tableMove = -1;
    int staticEval;
    if (table_.probe(key, hit)) {
        tableMove = hit.move;
        const int v = fromTable(hit.value, ply);
        if (!Pv && hit.depth >= depth &&
            (hit.bound == ExactBound || (hit.bound == LowerBound && v >= beta) || (hit.bound == UpperBound && v <= alpha)))
            return v;
        staticEval = hit.eval;
    } else {
        staticEval = evaluate(pos_, weights_);
    }

    // Right after a root move: a win by threats for the side to move
    // refutes it, however deep the search would have to go to see it.
    if (knobs.replyVct && ply == 1 && depth >= 3 && forced < 0 && !oppThreat) {
        if (threats_.findVct(pos_, ReplyVctThreats, ReplyVctBudget) >= 0) return winIn(ply + 2 * ReplyVctThreats + 1);
        if (stopped_) return 0;
    }
    const bool calm = forced < 0 && !oppThreat && std::abs(beta) < ProvenScore && std::abs(alpha) < ProvenScore;
    if (!Pv && calm) {
        // Far above beta with nothing to fear: the static value stands.
        if (knobs.futility && depth <= knobs.futilityDepth && opponentQuiet(pos_, opp) &&
            staticEval - knobs.futilityMargin * depth >= beta)
            return staticEval;
        // Far below alpha: only a win by fours would change it.
        if (knobs.razoring && depth <= 2 && staticEval + 200 * depth <= alpha) {
            const int v = quiesce(alpha, alpha + 1, ply);
            if (v <= alpha) return v;
        }
        // Even a free move for the other side leaves us above beta.
        if (knobs.nullMove && !afterPass && depth >= 3 && staticEval >= beta && opponentQuiet(pos_, opp) &&
            pos_.threatCount(opp, MakesFour) + pos_.threatCount(opp, MakesFourPlus) == 0) {
            const int r = 2 + depth / 4;
            pos_.passTurn();
            const int v = -node<false>(depth - 1 - r, -beta, -beta + 1, ply + 1, true);
            pos_.passTurn();
            if (stopped_) return 0;
            if (v >= beta) return std::abs(v) >= ProvenScore ? beta : v;
        }
    }
    // No table move to start from: a shallower search finds one sooner.
    if (knobs.iterativeReduction && depth >= 4 && tableMove < 0 && forced < 0) --depth;

    MovePicker picker;
    if (forced >= 0) {
        picker.add(forced, 0);
    } else if (oppThreat) {
        MoveList defences;
        defencesAgainstOpenFour(pos_, opp, defences);
        for (int i = 0; i < defences.count; ++i) picker.add(defences.slot[i], orderScore(pos_, defences.slot[i], me));
        pos_.fourCells(me).forEach([&](int s) {
            if (!picker.contains(s)) picker.add(s, orderScore(pos_, s, me));
        });
    } else {
        const int* hist = history_.cutoffs[me];
        pos_.candidates().forEach([&](int s) { picker.add(s, orderScore(pos_, s, me) + hist[s] / 64); });
        if (ply <= MaxPly) {
            picker.raise(history_.killers[ply][0], KillerBonus);
            picker.raise(history_.killers[ply][1], KillerBonus / 2);
        }
    }
    if (tableMove >= 0) picker.raise(tableMove, TableMoveBonus);

    const int originalAlpha = alpha;
    int best = -Infinity, bestMove = -1, searched = 0;
    for (int slot; (slot = picker.pick()) >= 0;) {
        if (!pos_.mayPlay(slot, me)) continue;
        const bool quiet = isQuiet(pos_, slot, me);
        if (!Pv && knobs.futility && calm && searched > 0 && quiet && depth <= knobs.moveFutilityDepth &&
            staticEval + 100 + knobs.moveFutilityMargin * depth <= alpha)
            continue;
        // Late quiet moves near the leaves are not searched at all.
        if (!Pv && knobs.moveCountPruning && calm && quiet && depth <= knobs.moveCountDepth &&
            searched >= knobs.moveCountBase + depth * depth && best > -ProvenScore)
            continue;
        pos_.play(slot);
        // A forced block costs no depth.
        const int newDepth = depth - 1 + (forced >= 0 ? 1 : 0);
        int v;
        if (searched == 0) {
            v = -node<Pv>(newDepth, -beta, -alpha, ply + 1);
        } else {
            int r = 0;
            if (knobs.reductions && depth >= 3 && quiet && searched >= (Pv ? 4 : 2)) {
                r = reductions_[std::min(depth, 63)][std::min(searched, 63)];
                if (Pv) --r;
                if (history_.cutoffs[me][slot] > HistoryLimit / 8) --r;
                r = std::clamp(r, 0, std::max(newDepth - 1, 0));
            }
            v = -node<false>(newDepth - r, -alpha - 1, -alpha, ply + 1);
            if (v > alpha && r > 0) v = -node<false>(newDepth, -alpha - 1, -alpha, ply + 1);
            if (Pv && v > alpha && v < beta) v = -node<true>(newDepth, -beta, -alpha, ply + 1);
        }
        pos_.undo();
        if (stopped_) return 0;
        ++searched;
        if (v > best) {
            best = v;
            bestMove = slot;
            if (v > alpha) {
                alpha = v;
                if (alpha >= beta) {
                    if (quiet && ply <= MaxPly) {
                        int* k = history_.killers[ply];
                        if (k[0] != slot) {
                            k[1] = k[0];
                            k[0] = slot;
                        }
                        int& h = history_.cutoffs[me][slot];
                        h = std::min(h + depth * depth, HistoryLimit);
                    }
                    break;
                }
            }
        }
    }
    // Nothing to play: every cell a foul, or none left.
    if (searched == 0) return forced >= 0 || oppThreat ? lossIn(ply + 2) : 0;

    const Bound bound = best >= beta ? LowerBound : best > originalAlpha ? ExactBound : UpperBound;
    table_.store(key, toTable(best, ply), staticEval, bestMove, depth, bound);
    return best;
}

// Every root move from `first` on searched in turn, the best so far first;
// a move that beats the best becomes it, so that a cut iteration still has
// one searched to the end.
int Search::searchRoot(int depth, int first, int alpha, int beta) {
    int best = -Infinity;
    for (int i = first; i < rootCount_; ++i) {
        const int slot = root_[i].slot;
        if (limits_.live) tell(ReportKind::Searching, slot, depth);
        pos_.play(slot);
        int v;
        if (i == first) {
            v = -node<true>(depth - 1, -beta, -alpha, 1);
        } else {
            v = -node<false>(depth - 1, -alpha - 1, -alpha, 1);
            if (!stopped_ && v > alpha && v < beta) v = -node<true>(depth - 1, -beta, -alpha, 1);
        }
        pos_.undo();
        if (stopped_) break;
        root_[i].value = v;
        if (limits_.live) {
            tell(ReportKind::Searched, slot, depth);
            // Even a bound below alpha is a proof when it is a proven loss.
            if (v <= -ProvenScore && !lostTold_.contains(slot)) {
                lostTold_.insert(slot);
                tell(ReportKind::Lost, slot, depth, v);
            }
        }
        if (v > best) {
            best = v;
            if (v > alpha) {
                alpha = v;
                std::rotate(root_ + first, root_ + i, root_ + i + 1);
                if (first == 0) {
                    rootBest_ = slot;
                    if (limits_.live) tellBest(depth, false);
                }
            }
            if (alpha >= beta) break;
        }
    }
    return best;
}

void Search::tell(ReportKind kind, int move, int depth, int value) {
    if (!report_) return;
    const long long ms = elapsedMs();
    // Root moves show only once a search has run a while, and only so many
    // a second: an early iteration goes through hundreds in a millisecond.
    constexpr long long ShowRootMovesAfterMs = 1000, RootMoveGapMs = 50;
    switch (kind) {
    case ReportKind::Searching:
        searchingTold_ = ms >= ShowRootMovesAfterMs && (lastSearchingMs_ < 0 || ms - lastSearchingMs_ >= RootMoveGapMs);
        if (!searchingTold_) return;
        lastSearchingMs_ = ms;
        break;
    case ReportKind::Searched:
        if (!searchingTold_) return;
        searchingTold_ = false;
        break;
    case ReportKind::IterationStart:
        if (ms < ShowRootMovesAfterMs) return;
        break;
    default: break;
    }
    IterationReport r{depth, value, nodes(), ms, true, move};
    r.kind = kind;
    report_(context_, r);
}

void Search::tellBest(int depth, bool iterationEnd) {
    if (!report_ || rootBest_ < 0) return;
    const long long ms = elapsedMs();
    constexpr long long BestGapMs = 50;
    const bool changed = rootBest_ != lastBestTold_;
    if (lastBestMs_ >= 0 && ms - lastBestMs_ < BestGapMs && !(changed && iterationEnd)) return;
    if (!changed && !iterationEnd) return;
    lastBestMs_ = ms;
    lastBestTold_ = rootBest_;
    IterationReport r{depth, rootValue_, nodes(), ms, true, rootBest_};
    r.kind = ReportKind::Best;
    report_(context_, r);
}

int Search::principalLine(int first, int* line, int maxLength) {
    int length = 0, played = 0;
    line[length++] = first;
    pos_.play(first);
    ++played;
    while (length < maxLength) {
        const int me = pos_.sideToMove();
        int cells[1];
        if (fiveCellsOf(pos_, me, cells, 1)) {
            line[length++] = cells[0];
            break;
        }
        TableHit hit;
        if (!table_.probe(pos_.hash(), hit) || hit.move < 0 || !pos_.isEmpty(hit.move) || !pos_.mayPlay(hit.move, me))
            break;
        line[length++] = hit.move;
        pos_.play(hit.move);
        ++played;
    }
    while (played-- > 0) pos_.undo();
    return length;
}

void Search::tellRanked(int rank, int slot, int depth, int value) {
    if (!report_) return;
    constexpr int MaxLine = 16;
    int line[MaxLine];
    const int length = principalLine(slot, line, MaxLine);
    IterationReport r{depth, value, nodes(), elapsedMs(), true, slot};
    r.kind = ReportKind::Ranked;
    r.rank = rank;
    r.lineLength = length;
    r.line = line;
    report_(context_, r);
}

bool Search::listRootMoves(int& onlyMove) {
    const int me = pos_.sideToMove(), opp = me ^ 1;
    onlyMove = -1;
    rootCount_ = 0;
    const auto playable = [&](int s) { return mayPlayAtRoot(s) && pos_.mayPlay(s, me); };
    int cells[2];
    if (fiveCellsOf(pos_, me, cells, 1) && mayPlayAtRoot(cells[0])) {
        onlyMove = cells[0];
        return true;
    }
    const int oppFives = fiveCellsOf(pos_, opp, cells, 2);
    for (int i = 0; i < oppFives; ++i)
        if (playable(cells[i])) {
            onlyMove = cells[i];
            return true;
        }
    if (oppFives == 0) {
        int win = -1;
        pos_.fourCells(me).forEach([&](int s) {
            if (win < 0 && pos_.threat(s, me) == MakesOpenFour && playable(s)) win = s;
        });
        if (win >= 0) {
            onlyMove = win;
            return true;
        }
    }

    MovePicker picker;
    const auto offer = [&](int s) {
        if (!picker.contains(s) && playable(s)) picker.add(s, orderScore(pos_, s, me));
    };
    if (oppFives == 0 && hasOpenFourThreat(pos_, opp)) {
        MoveList defences;
        defencesAgainstOpenFour(pos_, opp, defences);
        for (int i = 0; i < defences.count; ++i) offer(defences.slot[i]);
        pos_.fourCells(me).forEach(offer);
    }
    if (picker.count == 0) pos_.candidates().forEach(offer);
    if (picker.count == 0) {
        // No stone near: the free cell nearest the middle, or any cell that
        // may be played; the cells to avoid only when nothing else is left.
        const int midX = pos_.width() / 2, midY = pos_.height() / 2;
        int nearest = 1 << 30;
        for (int x = 0; x < pos_.width(); ++x)
            for (int y = 0; y < pos_.height(); ++y) {
                const int distance = std::max(std::abs(x - midX), std::abs(y - midY));
                if (distance < nearest && pos_.isEmpty(slotOf(x, y)) && playable(slotOf(x, y))) {
                    nearest = distance;
                    onlyMove = slotOf(x, y);
                }
            }
        for (int x = 0; x < pos_.width() && onlyMove < 0; ++x)
            for (int y = 0; y < pos_.height() && onlyMove < 0; ++y)
                if (pos_.isEmpty(slotOf(x, y)) && pos_.mayPlay(slotOf(x, y), me)) onlyMove = slotOf(x, y);
        for (int x = 0; x < pos_.width() && onlyMove < 0; ++x)
            for (int y = 0; y < pos_.height() && onlyMove < 0; ++y)
                if (pos_.isEmpty(slotOf(x, y))) onlyMove = slotOf(x, y);
        return true;
    }
    for (int slot; (slot = picker.pick()) >= 0;) root_[rootCount_++] = {slot, -Infinity, -Infinity};
    if (rootCount_ == 1) {
        onlyMove = root_[0].slot;
        return true;
    }
    return false;
}

int Search::think(const SearchLimits& limits, Report report, void* context) {
    const int move = iterate(limits, report, context);
    threats_.setStopCheck(nullptr, nullptr);
    return move;
}

int Search::iterate(const SearchLimits& limits, Report report, void* context) {
    limits_ = limits;
    report_ = report;
    context_ = context;
    // Late-move reductions by log(depth) log(index), for this search's knobs.
    for (int d = 0; d < 64; ++d)
        for (int i = 0; i < 64; ++i)
            reductions_[d][i] = static_cast<std::int8_t>(
                (30 + logTable.hundredths[d] * logTable.hundredths[i] / knobs.reductionDivisor) / 100);
    startMs_ = limits_.startMs >= 0 ? limits_.startMs : limits_.clock ? limits_.clock() : 0;
    nodes_ = 0;
    threatNodesAtStart_ = threats_.nodes();
    sharedSoFar_ = 0;
    stopped_ = false;
    completedDepth_ = 0;
    rootValue_ = 0;
    rootValueKnown_ = false;
    rootBest_ = -1;
    lastSearchingMs_ = lastBestMs_ = -1;
    lastBestTold_ = -1;
    searchingTold_ = false;
    lostTold_.clear();
    const int ranked = std::max(limits_.multiPv, 1);

    // The threat searches look at the clock too.
    threats_.setStopCheck(
        [](void* self) {
            Search& search = *static_cast<Search*>(self);
            search.checkLimits();
            return search.stopped_;
        },
        this);

    // A move decided before any search is the only one to rank.
    const auto decided = [&](int move) {
        if (ranked > 1 && move >= 0 && pos_.isEmpty(move)) tellRanked(1, move, 0, rootValue_);
        return move;
    };
    int onlyMove;
    if (listRootMoves(onlyMove)) return decided(onlyMove);
    rootBest_ = root_[0].slot;
    // An analysis board shows a move from the start.
    if (limits_.live) tellBest(0, true);

    const int me = pos_.sideToMove();
    // Under a node limit the threat searches take a share of it, not all.
    long long vcfBudget = limits_.softMs < 0 ? RootVcfBudget : std::clamp(limits_.softMs * 60, 5000ll, RootVcfBudget);
    if (limits_.nodes > 0) vcfBudget = std::min(vcfBudget, limits_.nodes / 4);
    const int vcf = limits_.rootThreats ? threats_.findVcf(pos_, RootVcfPlies, vcfBudget) : -1;
    if (vcf >= 0 && pos_.mayPlay(vcf, me) && mayPlayAtRoot(vcf)) {
        rootValue_ = winIn(threats_.winLength());
        rootValueKnown_ = true;
        return decided(vcf);
    }
    if (knobs.rootVct && limits_.rootThreats && limits_.hardMs != 0) {
        long long budget = limits_.softMs < 0 ? 50000 : std::clamp(limits_.softMs * 20, 2000ll, 100000ll);
        if (limits_.nodes > 0) budget = std::min(budget, limits_.nodes / 20);
        const int vct = threats_.findVct(pos_, RootVctThreats, budget);
        if (vct >= 0 && pos_.mayPlay(vct, me) && mayPlayAtRoot(vct)) {
            rootValue_ = ProvenScore;
            rootValueKnown_ = true;
            return decided(vct);
        }
    }

    int previous = 0, lastBest = rootBest_, changes = 0;
    for (int depth = 1 + limits_.depthSkew; depth <= limits_.maxDepth; ++depth) {
        if (limits_.live) tell(ReportKind::IterationStart, rootBest_, depth);
        int v;
        if (ranked > 1) {
            // Each rank searched with the whole window among the moves
            // below the ranks before it. A cut iteration leaves the move of
            // the last ranks shown.
            const int shownBest = rootBest_;
            v = searchRoot(depth, 0, -Infinity, Infinity);
            for (int rank = 1; rank < std::min(ranked, rootCount_) && !stopped_; ++rank)
                searchRoot(depth, rank, -Infinity, Infinity);
            if (stopped_ && completedDepth_ > 0) rootBest_ = shownBest;
        } else if (depth >= 4 && std::abs(previous) < ProvenScore) {
            int delta = 40;
            int alpha = std::max(previous - delta, -Infinity), beta = std::min(previous + delta, Infinity);
            for (;;) {
                v = searchRoot(depth, 0, alpha, beta);
                if (stopped_) break;
                if (v <= alpha) {
                    beta = (alpha + beta) / 2;
                    alpha = std::max(v - delta, -Infinity);
                } else if (v >= beta) {
                    beta = std::min(v + delta, Infinity);
                } else {
                    break;
                }
                delta *= 2;
                if (delta > 2000) {
                    alpha = -Infinity;
                    beta = Infinity;
                }
            }
        } else {
            v = searchRoot(depth, 0, -Infinity, Infinity);
        }
        const bool complete = !stopped_;
        if (complete) {
            previous = v;
            rootValue_ = v;
            rootValueKnown_ = true;
            completedDepth_ = depth;
            // The rest by their values, for the next iteration.
            const int keep = std::min(ranked, rootCount_);
            const auto byValue = [](const RootMove& a, const RootMove& b) { return a.value > b.value; };
            std::stable_sort(root_ + keep, root_ + rootCount_, byValue);
            if (ranked > 1) {
                // Searched with other windows, a lower rank can come out
                // above a higher one: the ranks follow the values.
                std::stable_sort(root_, root_ + keep, byValue);
                rootBest_ = root_[0].slot;
                v = root_[0].value;
                previous = rootValue_ = v;
            }
            if (limits_.live) tellBest(depth, true);
            if (ranked > 1)
                for (int rank = 0; rank < keep; ++rank) tellRanked(rank + 1, root_[rank].slot, depth, root_[rank].value);
        }
        if (report) report(context, {depth, complete ? v : rootValue_, allNodes(), elapsedMs(), complete, rootBest_});
        if (!complete) break;
        if (rootBest_ != lastBest) ++changes;
        lastBest = rootBest_;
        if (std::abs(v) >= ProvenScore) break;
        if (limits_.softMs >= 0 && limits_.softMs < limits_.hardMs) {
            // Time not spent now is there for later moves; a best move that
            // keeps changing earns more of it.
            const long long aim = limits_.softMs * (changes > 0 ? 3 : 2) / 2;
            if (elapsedMs() > aim * 55 / 100) break;
        }
        changes = changes > 0 ? changes - 1 : 0;
    }
    return rootBest_;
}

template int Search::node<true>(int, int, int, int, bool);
template int Search::node<false>(int, int, int, int, bool);

}  // namespace deep
