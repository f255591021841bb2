// Deep mode: the turn for a depth above the default, searched as deep as
// its time allows. Beside the default search, and sharing only its board,
// evaluation, ordering keys and VCF: the table here carries bounds and the
// best move, the previous best move and the killers go first, later moves
// are searched with a null window, a node below the root tries only its
// most promising cells (only the blocks when the opponent has a four), wins
// count the plies they take, and the table outlives the turn.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "engine.h"

bool DeepByDefault = false;
DeepBudget DeepTurnBudget{-1, -1};

namespace {

constexpr int MaxPly = 64;
// A proven result, less the plies it takes: shorter wins score higher.
constexpr int ProvenScore = WinScore - MaxPly;
// Below the root a node tries this many cells at most, best keys first.
constexpr int NodeWidth = 20;

enum Bound : std::uint8_t { NoBound, Exact, Lower, Upper };

// A table entry of deep mode, in the same 16 bytes as the default one.
struct DeepEntry {
    std::uint64_t key;
    std::int16_t value;
    std::int8_t depth;
    std::uint8_t bound;
    std::int16_t move;
    std::int16_t unused;
};
static_assert(sizeof(DeepEntry) == sizeof(hashentry), "deep entries live in the default table's slots");

// Keys of their own that stay the same from turn to turn, so that the table
// of one turn serves the next.
std::uint64_t deepKeys[BoardSize][BoardSize][2];
bool deepKeysReady = false;
// The table holds deep entries: a default turn must start from zeroes.
bool tablesHoldDeepEntries = false;
int lastStoneCount = -1;
GameRule lastRule = GameRule::FreeStyle;

int killers[MaxPly][2];

void makeDeepKeys() {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (auto& column : deepKeys)
        for (auto& cell : column)
            for (std::uint64_t& key : cell) {
                // splitmix64
                state += 0x9E3779B97F4A7C15ull;
                std::uint64_t z = state;
                z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
                z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
                key = z ^ (z >> 31);
            }
    deepKeysReady = true;
}

void wipeTables() {
    for (hashentry* table : hashp)
        if (table) std::memset(static_cast<void*>(table), 0, (HashMask + 1) * sizeof(hashentry));
}

bool probe(int side, DeepEntry& entry) {
    const hashentry* table = hashp[sideIndex(side)];
    if (!table) return false;
    std::memcpy(&entry, &table[nowhash & HashMask], sizeof entry);
    return entry.key == nowhash && entry.bound != NoBound;
}

// Proven scores are stored as seen from the node, not from the root.
int toTable(int value, int ply) { return value >= ProvenScore ? value + ply : value <= -ProvenScore ? value - ply : value; }
int fromTable(int value, int ply) { return value >= ProvenScore ? value - ply : value <= -ProvenScore ? value + ply : value; }

void store(int side, int depth, int value, Bound bound, int move, int ply) {
    hashentry* table = hashp[sideIndex(side)];
    if (!table) return;
    hashentry& slot = table[nowhash & HashMask];
    DeepEntry old;
    std::memcpy(&old, &slot, sizeof old);
    // Keep a deeper result of the same position unless this one is exact.
    if (old.key == nowhash && old.depth > depth && bound != Exact) return;
    const DeepEntry entry{nowhash, static_cast<std::int16_t>(toTable(value, ply)), static_cast<std::int8_t>(depth),
                          bound, static_cast<std::int16_t>(move), 0};
    std::memcpy(&slot, &entry, sizeof entry);
}

// What evaluate() says, in deep mode's scale. A five on the board, or a four
// of the side to move, is a proven result that counts its plies; an open
// three is only very likely to win, and stays below every proven score so
// that the search keeps deepening and looking for the opponent's defence.
constexpr int OpenThreeScore = WinScore / 2;

int judged(int value, int side, int ply) {
    if (value >= WinScore) {
        const int own = sideIndex(side);
        if (FiveCount[own] > 0) return WinScore - ply;
        if (Tally[own][4] > 0) return WinScore - ply - 1;
        return OpenThreeScore - ply;
    }
    if (value <= -WinScore) return -(WinScore - ply);
    return value;
}

template <bool Ruled>
bool mayPlay(int cell, int side) {
    if constexpr (Ruled) return !isFoul(cell / BoardSize, cell % BoardSize, side);
    return true;
}

// The cells a node tries, in order: the table's move, the killers, then the
// rest by ordering key, found lazily since most nodes cut off after a few.
// With an opponent four on the board only its blocks are tried.
struct MovePicker {
    int keys[CandidateKeyCount];
    int first[3];
    int firstCount = 0, firstNext = 0;
    int blocks[CellCount];
    int blockCount = -1, blockNext = 0;
    int taken = 0, width;

    template <bool Ruled>
    MovePicker(std::integral_constant<bool, Ruled>, int side, int ply, int tableMove, int width_) : width(width_) {
        const int opp = 1 - sideIndex(side);
        if (Tally[opp][4] > 0) {
            blockCount = 0;
            for (int cell = 0; cell < CellCount; ++cell)
                if (Candidate[cell] && FourTotal[opp][cell] > 0 && mayPlay<Ruled>(cell, side)) blocks[blockCount++] = cell;
            return;
        }
        CandidateKeys(side, keys);
        const auto offer = [this](int cell) {
            if (cell < 0 || keys[cell] < 0) return;
            for (int i = 0; i < firstCount; ++i)
                if (first[i] == cell) return;
            first[firstCount++] = cell;
        };
        offer(tableMove);
        if (ply < MaxPly) {
            offer(killers[ply][0]);
            offer(killers[ply][1]);
        }
    }

    // The next cell, or -1.
    template <bool Ruled>
    int next(int side) {
        if (blockCount >= 0) return blockNext < blockCount ? blocks[blockNext++] : -1;
        while (taken < width) {
            int cell;
            if (firstNext < firstCount) {
                cell = first[firstNext++];
            } else {
                cell = TakeBestCandidate(keys);
                if (cell < 0) return -1;
                bool tried = false;
                for (int i = 0; i < firstCount; ++i) tried = tried || first[i] == cell;
                if (tried) continue;
            }
            if (!mayPlay<Ruled>(cell, side)) continue;
            ++taken;
            return cell;
        }
        return -1;
    }
};

void rewardCutoff(int ply, int cell) {
    if (ply < MaxPly && killers[ply][0] != cell) {
        killers[ply][1] = killers[ply][0];
        killers[ply][0] = cell;
    }
}

template <bool Ruled>
int leafValue(int side, int ply) {
    ++Nodes;
    return judged(evaluate<Ruled>(side), side, ply);
}

template <bool Ruled>
int deepNode(int depth, int alpha, int beta, int side, int ply);

template <bool Ruled>
int child(int cell, int depth, int alpha, int beta, int side, int ply) {
    const int x = cell / BoardSize, y = cell % BoardSize;
    const int opponent = otherSide(side);
    if (depth <= 1) {
        MakeLeafMove<Ruled>(x, y, side);
        const int v = -leafValue<Ruled>(opponent, ply + 1);
        unMakeLeafMove<Ruled>(x, y, side);
        return v;
    }
    MakeMove<Ruled>(x, y, side);
    const int v = -deepNode<Ruled>(depth - 1, -beta, -alpha, opponent, ply + 1);
    unMakeMove<Ruled>(x, y, side);
    return v;
}

// What the side to move wins outright, before any move is searched: its
// own four, or a win by fours when the opponent has no four to answer with.
template <bool Ruled>
bool forcedWin(int side) {
    if (hasFour(side)) return true;
    if (hasFour(otherSide(side))) return false;
    return Ruled ? ruledVcf(0, side, -1, -1) : vcf(0, side, -1, -1);
}

template <bool Ruled>
int deepNode(int depth, int alpha, int beta, int side, int ply) {
    ++Nodes;
    if (check_over()) return judged(evaluate<Ruled>(side), side, ply);
    if (ply >= MaxPly - 1) return judged(evaluate<Ruled>(side), side, ply);

    DeepEntry entry;
    int tableMove = -1;
    if (probe(side, entry)) {
        tableMove = entry.move;
        if (entry.depth >= depth) {
            const int v = fromTable(entry.value, ply);
            if (entry.bound == Exact || (entry.bound == Lower && v >= beta) || (entry.bound == Upper && v <= alpha))
                return v;
        }
    }

    const bool win = forcedWin<Ruled>(side);
    if (timeup) return alpha;
    if (win) {
        const int v = WinScore - ply - 1;
        store(side, depth, v, Exact, tableMove, ply);
        return v;
    }

    MovePicker picker(std::integral_constant<bool, Ruled>{}, side, ply, tableMove, NodeWidth);
    const int originalAlpha = alpha;
    int best = -WinScore - 1, bestCell = -1;
    for (int i = 0, cell; (cell = picker.template next<Ruled>(side)) >= 0; ++i) {
        if (turnMustStop()) {
            timeup = true;
            return alpha;
        }
        int v;
        if (i == 0) {
            v = child<Ruled>(cell, depth, alpha, beta, side, ply);
        } else {
            v = child<Ruled>(cell, depth, alpha, alpha + 1, side, ply);
            if (!timeup && v > alpha && v < beta) v = child<Ruled>(cell, depth, alpha, beta, side, ply);
        }
        if (timeup) return alpha;
        if (v > best) {
            best = v;
            bestCell = cell;
            if (v > alpha) alpha = v;
            if (alpha >= beta) {
                rewardCutoff(ply, cell);
                break;
            }
        }
    }
    // Nothing to try: an unstoppable four, or a board with no room.
    if (bestCell < 0)
        return Tally[1 - sideIndex(side)][4] > 0 ? -(WinScore - ply - 2) : judged(evaluate<Ruled>(side), side, ply);
    const Bound bound = best >= beta ? Lower : best > originalAlpha ? Exact : Upper;
    store(side, depth, best, bound, bestCell, ply);
    return best;
}

// The root tries every candidate, the last iteration's best first. It keeps
// the best move among those searched to the end, so that a cut iteration
// still has one.
struct Root {
    int cells[CellCount];
    int count;
    int bestCell;
    int bestValue;
    bool haveBest;
};
Root root;

template <bool Ruled>
int searchRoot(int depth, int previousBest) {
    const int side = AiTurn;
    int alpha = -WinScore - 1;
    const int beta = WinScore + 1;
    root.haveBest = false;
    // The previous best goes first, the rest keep their order.
    for (int i = 0; i < root.count; ++i)
        if (root.cells[i] == previousBest) {
            std::rotate(root.cells, root.cells + i, root.cells + i + 1);
            break;
        }
    for (int i = 0; i < root.count; ++i) {
        if (turnMustStop()) {
            timeup = true;
            break;
        }
        const int cell = root.cells[i];
        int v;
        if (i == 0) {
            v = child<Ruled>(cell, depth, alpha, beta, side, 0);
        } else {
            v = child<Ruled>(cell, depth, alpha, alpha + 1, side, 0);
            if (!timeup && v > alpha) v = child<Ruled>(cell, depth, alpha, beta, side, 0);
        }
        if (timeup) break;
        if (!root.haveBest || v > root.bestValue) {
            root.bestValue = v;
            root.bestCell = cell;
            root.haveBest = true;
            if (v > alpha) alpha = v;
            // A better move is searched first next time.
            std::rotate(root.cells, root.cells + i, root.cells + i + 1);
        }
    }
    return root.haveBest ? root.bestValue : alpha;
}

template <bool Ruled>
void listRootMoves() {
    root.count = 0;
    if (hasFour(AiTurn)) {
        // Complete the five: the cells of its own fours.
        for (int cell = 0; cell < CellCount; ++cell)
            if (Candidate[cell] && FourTotal[sideIndex(AiTurn)][cell] > 0) root.cells[root.count++] = cell;
        if (root.count > 0) return;
    }
    MovePicker picker(std::integral_constant<bool, Ruled>{}, AiTurn, MaxPly, -1, CellCount);
    for (int cell; (cell = picker.template next<Ruled>(AiTurn)) >= 0;) root.cells[root.count++] = cell;
}

int stoneCount() {
    int stones = 0;
    for (const auto& column : board)
        for (const int stone : column) stones += stone != 0;
    return stones;
}

// Any cell that may be played: the first free cell of the ordered list.
cellpos anyPlayableCell() {
    onemove list[CellCount];
    SortMoves(AiTurn, list);
    for (const onemove& m : list)
        if (board[m.x][m.y] == 0 && !Closed[m.x][m.y] && !isFoul(m.x, m.y, AiTurn)) return {m.x, m.y};
    for (const onemove& m : list)
        if (board[m.x][m.y] == 0 && !Closed[m.x][m.y]) return {m.x, m.y};
    return {0, 0};
}

template <bool Ruled>
cellpos deepTurn() {
    listRootMoves<Ruled>();
    if (root.count == 0) return anyPlayableCell();
    if (root.count == 1) return {root.cells[0] / BoardSize, root.cells[0] % BoardSize};

    // A win by fours needs no deeper look.
    if (!hasFour(otherSide(AiTurn))) {
        HaveVcfBestMove = false;
        const bool win = Ruled ? ruledVcf(0, AiTurn, -1, -1) : vcf(0, AiTurn, -1, -1);
        if (win && HaveVcfBestMove && !timeup) return vcfBestMove;
    }

    int bestCell = root.cells[0];
    long long lastMs = 0, previousMs = 0;
    int changes = 0;
    for (MaxDepth = 1; MaxDepth <= MostDepth; ++MaxDepth) {
        const long long nodesBefore = Nodes;
        const long long startedAt = clockMs();
        const int value = searchRoot<Ruled>(MaxDepth, bestCell);
        const long long ms = clockMs() - startedAt;
        // A cut iteration's best was searched to the end, and either is the
        // last iteration's best or beat it.
        if (root.haveBest) {
            if (root.bestCell != bestCell && MaxDepth > 1) ++changes;
            bestCell = root.bestCell;
        }
        const cellpos best{bestCell / BoardSize, bestCell % BoardSize};
        Iterations[IterationCount++] = {MaxDepth, value, Nodes - nodesBefore, ms, !timeup, best};
        if (IterationReport) IterationReport(Iterations[IterationCount - 1], Nodes, clockMs() - start_t);
        if (timeup || IterationCount >= MaxSearchDepth) break;
        // A proven result does not change with depth.
        if (value >= ProvenScore || value <= -ProvenScore) break;
        previousMs = lastMs;
        lastMs = ms;
        // With a match clock, time not spent now is there for later moves:
        // stop when the next iteration, grown as the last ones grew, would
        // not end within the limit, or once most of the planned share is
        // spent; a best move that keeps changing earns more of it. With a
        // turn clock alone the limit cuts the last iteration, which still
        // answers its best move searched to the end.
        const long long spent = clockMs() - start_t;
        if (DeepTurnBudget.softMs >= 0 && DeepTurnBudget.softMs < DeepTurnBudget.hardMs) {
            const long long growth = previousMs > 0 ? std::clamp(lastMs / std::max(previousMs, 1ll), 2ll, 6ll) : 3;
            if (spent + lastMs * growth > ActiveLimitMs) break;
            const long long soft = std::min(DeepTurnBudget.softMs * (2 + std::min(changes, 2)) / 2, ActiveLimitMs);
            if (spent > soft * 3 / 5) break;
        }
    }
    return {bestCell / BoardSize, bestCell % BoardSize};
}

}  // namespace

void forgetDeepTables() {
    if (!tablesHoldDeepEntries) return;
    wipeTables();
    tablesHoldDeepEntries = false;
    lastStoneCount = -1;
}

const cellpos& runDeep() {
    const bool quick = DeepTurnBudget.hardMs == 0;
    start_t = clockMs();
    timeup = false;
    Nodes = 0;
    ActiveLimitMs = quick ? -1 : DeepTurnBudget.hardMs;
    IterationCount = 0;
    AiTurn = MyStone;
    MostDepth = quick ? 1 : DepthLimit < 1 ? 1 : DepthLimit > MaxSearchDepth ? MaxSearchDepth : DepthLimit;

    if (!deepKeysReady) makeDeepKeys();
    std::memcpy(randomkey, deepKeys, sizeof randomkey);
    freshHashTables();
    // A new game, or a new rule: what the table knows no longer holds.
    const int stones = stoneCount();
    if (stones < lastStoneCount || Rule != lastRule) wipeTables();
    lastStoneCount = stones;
    lastRule = Rule;
    tablesHoldDeepEntries = true;
    for (auto& plyKillers : killers) plyKillers[0] = plyKillers[1] = -1;

    setGameRule(Rule, blackSideIndex());
    init();
    nowhash = 0;
    const bool ruled = Rule != GameRule::FreeStyle;
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            if (board[x][y] != 0) {
                if (ruled) MakeMove<true>(x, y, board[x][y]);
                else MakeMove(x, y, board[x][y]);
            }
    resultpos = ruled ? deepTurn<true>() : deepTurn<false>();
    ActiveLimitMs = -1;
    return resultpos;
}
