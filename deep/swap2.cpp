#include "deep/swap2.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace deep {

namespace {

// The given five, two laid, and the reply to a lone defence.
constexpr int MaxStones = 8;
// Openings and pairs of stones weighed against each other.
constexpr int Proposals = 20;
constexpr int Pairs = 16;
// After three stones the colour is weighed with this share of the nodes;
// the rest is for the pairs when it comes out close to even.
constexpr int ColourShareFifths = 2;
// Two stones are laid only if they keep the position this close.
constexpr int LayTwoLimit = 2 * Swap2CloseToEven;
constexpr int DeepestProbe = 60;

struct Stones {
    Swap2Cell cell[MaxStones];
    int count = 0;

    void add(int x, int y) { cell[count++] = {x, y}; }
    bool has(int x, int y) const {
        for (int i = 0; i < count; ++i)
            if (cell[i].x == x && cell[i].y == y) return true;
        return false;
    }
};

// What the whole decision may still spend.
class Budget {
public:
    explicit Budget(const Swap2Request& request)
        : request_(request),
          timed_(request.hardMs >= 0 && request.clock),
          start_(request.startMs >= 0 ? request.startMs : request.clock ? request.clock() : 0),
          nodesLeft(request.nodes) {}

    bool stopped() const {
        if (request_.stop && request_.stop->load(std::memory_order_relaxed)) return true;
        return timed_ && request_.clock() - start_ > request_.hardMs;
    }
    long long elapsedMs() const { return request_.clock ? request_.clock() - start_ : 0; }
    // -1: no clock.
    long long msLeft() const { return timed_ ? std::max(0ll, request_.hardMs - (request_.clock() - start_)) : -1; }

    const Swap2Request& request_;
    const bool timed_;
    const long long start_;
    long long nodesLeft;
};

// A position of the opening as the engine's turn: the side to move plays.
TurnPosition turnOf(const Swap2Request& request, const Stones& stones) {
    TurnPosition turn;
    turn.width = request.width;
    turn.height = request.height;
    turn.rule = request.rule;
    turn.ownSide = stones.count % 2;
    for (int i = 0; i < stones.count; ++i)
        turn.cell[stones.cell[i].x][stones.cell[i].y] = i % 2 == turn.ownSide ? 1 : 2;
    return turn;
}

struct Probe {
    bool known = false;
    int value = 0;  // for the side to move
    int depth = 0;
    Swap2Cell move{-1, -1};
    long long nodes = 0;
    bool cut = false;  // by the clock or a stop: the step ends here
};

struct Iterations {
    int count = 0;
    int last = 0, before = 0, depth = 0;
};

void recordIteration(void* context, const IterationReport& report) {
    if (report.kind != ReportKind::Iteration || !report.complete) return;
    auto& seen = *static_cast<Iterations*>(context);
    seen.before = seen.last;
    seen.last = report.value;
    seen.depth = report.depth;
    ++seen.count;
}

bool proven(int value) { return std::abs(value) >= ProvenScore; }

// The value of the position for the side to move, searched `maxDepth` deep
// within `nodeCap`. Odd and even depths lean opposite ways, so the last two
// iterations are averaged.
Probe probe(Engine& engine, const Swap2Request& request, const Stones& stones, int maxDepth, long long nodeCap,
            Budget& budget, bool followLoneMove = true) {
    Probe p;
    const long long cap = std::min(nodeCap, budget.nodesLeft);
    const long long msLeft = budget.msLeft();
    if (cap <= 0 || msLeft == 0 || budget.stopped()) {
        p.cut = budget.stopped() || msLeft == 0;
        return p;
    }
    SearchLimits limits;
    limits.nodes = cap;
    limits.maxDepth = maxDepth;
    limits.hardMs = msLeft;
    limits.stop = request.stop;
    limits.clock = request.clock;
    Iterations seen;
    const Engine::Move move = engine.think(turnOf(request, stones), limits, recordIteration, &seen);
    p.nodes = engine.nodes();
    budget.nodesLeft -= p.nodes;
    p.cut = budget.stopped();
    p.move = {move.x, move.y};
    const int root = engine.search().rootValue();
    if (seen.count > 0) {
        p.known = true;
        p.depth = seen.depth;
        p.value = seen.count >= 2 && !proven(seen.last) && !proven(seen.before) ? (seen.last + seen.before) / 2
                                                                                : seen.last;
    } else if (proven(root)) {
        // A win by threats found before any iteration.
        p.known = true;
        p.value = root;
    } else if (move.x >= 0 && followLoneMove && !p.cut && stones.count < MaxStones) {
        // A lone move (the only defence) is played without a search: its
        // value is the reply's.
        Stones after = stones;
        after.add(move.x, move.y);
        const Probe reply = probe(engine, request, after, maxDepth, nodeCap - p.nodes, budget, false);
        p.nodes += reply.nodes;
        p.cut = reply.cut;
        p.known = reply.known;
        p.value = -reply.value;
        p.depth = reply.depth;
    }
    return p;
}

// How far a candidate is from even: unknown last, proven wins and losses
// just before.
long long distanceFromEven(const Probe& p) {
    if (!p.known) return 1ll << 40;
    if (proven(p.value)) return 1ll << 30;
    return std::abs(p.value);
}

// Nodes a probe of a few stones takes at a depth, before any was measured.
long long guessedNodes(int depth) {
    long long nodes = 1000;
    for (int d = 2; d < depth; ++d) nodes *= 4;
    return nodes;
}
// What one more ply costs a probe that has its table entries from the ply before.
constexpr long long PlyGrowth = 4;

struct Ranked {
    int index = -1;
    Probe probe;
};

// The candidate whose value (for the side to move) is closest to even, by
// rounds: all of them at a depth, then the better half deeper, while the
// nodes allow; the last two deepen until the nodes are spent. A round is
// planned to leave half of what is left for the rounds after it. Of a round
// cut by the clock, the probes that came to their end count.
Ranked closestToEven(Engine& engine, const Swap2Request& request, const std::vector<Stones>& candidates,
                     Budget& budget) {
    std::vector<Ranked> alive;
    for (int i = 0; i < static_cast<int>(candidates.size()); ++i) alive.push_back({i, {}});
    if (alive.empty()) return {};
    std::vector<Ranked> ranking;
    const auto planned = [&](std::size_t n) { return n > 2 ? budget.nodesLeft / 2 : budget.nodesLeft; };
    int depth = 2;
    while (depth < DeepestProbe && guessedNodes(depth + 1) * static_cast<long long>(alive.size()) <= planned(alive.size()))
        ++depth;
    for (;;) {
        const long long before = budget.nodesLeft;
        bool cut = false;
        std::size_t probed = 0;
        for (Ranked& r : alive) {
            // Never more than an even share of what is left.
            const long long cap = budget.nodesLeft / static_cast<long long>(alive.size() - probed);
            r.probe = probe(engine, request, candidates[r.index], depth, cap, budget);
            ++probed;
            if (r.probe.cut) {
                cut = true;
                break;
            }
        }
        if (cut) {
            // The probes of the cut round that came to their end are the
            // deeper word on their candidates.
            alive.resize(probed - 1);
            for (const Ranked& r : alive) {
                const auto known = std::find_if(ranking.begin(), ranking.end(),
                                                [&](const Ranked& k) { return k.index == r.index; });
                if (known == ranking.end()) ranking.push_back(r);
                else if (r.probe.known) known->probe = r.probe;
            }
            break;
        }
        std::stable_sort(alive.begin(), alive.end(), [](const Ranked& a, const Ranked& b) {
            return distanceFromEven(a.probe) < distanceFromEven(b.probe);
        });
        ranking = alive;
        const long long spent = before - budget.nodesLeft;
        if (request.note) {
            char line[160];
            std::snprintf(line, sizeof line, "swap2 depth %d: %zu candidates, closest %d, %lld nodes", depth,
                          alive.size(), alive[0].probe.value, spent);
            request.note(line);
        }
        // Fewer candidates, so that the next round can go a ply deeper.
        const long long average = std::max(1ll, spent / static_cast<long long>(probed));
        std::size_t keep = alive.size() > 2 ? (alive.size() + 1) / 2 : alive.size();
        while (keep > 2 && average * PlyGrowth * static_cast<long long>(keep) > budget.nodesLeft) keep = (keep + 1) / 2;
        alive.resize(keep);
        long long cost = average * PlyGrowth * static_cast<long long>(keep);
        if (depth >= DeepestProbe || cost > budget.nodesLeft) break;
        ++depth;
        for (cost *= PlyGrowth; cost <= planned(keep) && depth < DeepestProbe; cost *= PlyGrowth) ++depth;
    }
    std::stable_sort(ranking.begin(), ranking.end(), [](const Ranked& a, const Ranked& b) {
        return distanceFromEven(a.probe) < distanceFromEven(b.probe);
    });
    return !ranking.empty() && ranking[0].probe.known ? ranking[0] : Ranked{};
}

// splitmix64: candidates vary with the request, and are the same for the
// same request.
std::uint64_t nextRandom(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int randomIn(std::uint64_t& state, int low, int high) {
    return low + static_cast<int>(nextRandom(state) % static_cast<std::uint64_t>(high - low + 1));
}

std::uint64_t seedOf(const Swap2Request& request) {
    std::uint64_t state = static_cast<std::uint64_t>(request.nodes) * 1000003u + request.width * 31u + request.height;
    state = state * 131u + static_cast<unsigned>(request.rule);
    state = state * 8191u + static_cast<std::uint64_t>(request.variation);
    nextRandom(state);
    for (int i = 0; i < request.stoneCount; ++i) {
        state = state * 409u + static_cast<unsigned>(request.stones[i].x * 20 + request.stones[i].y);
        nextRandom(state);
    }
    return state;
}

bool onBoard(const Swap2Request& request, int x, int y) {
    return x >= 0 && y >= 0 && x < request.width && y < request.height;
}

// The same stones make the same position whatever their order within a colour.
bool samePosition(const Stones& a, const Stones& b) {
    if (a.count != b.count) return false;
    for (int i = 0; i < a.count; ++i) {
        bool found = false;
        for (int j = i % 2; j < b.count && !found; j += 2)
            found = a.cell[i].x == b.cell[j].x && a.cell[i].y == b.cell[j].y;
        if (!found) return false;
    }
    return true;
}

void addUnlessThere(std::vector<Stones>& list, const Stones& stones) {
    for (const Stones& s : list)
        if (samePosition(s, stones)) return;
    list.push_back(stones);
}

// Three stones near the middle: black within a cell of it, white within two
// of black, black's second within five of either. Three stones close
// together favour black by much: only a second black stone farther out
// comes near even at times.
std::vector<Stones> proposals(const Swap2Request& request, std::uint64_t seed) {
    std::vector<Stones> list;
    const int cx = request.width / 2, cy = request.height / 2;
    for (int attempt = 0; attempt < 40 * Proposals && static_cast<int>(list.size()) < Proposals; ++attempt) {
        Stones s;
        const int bx = cx + randomIn(seed, -1, 1), by = cy + randomIn(seed, -1, 1);
        const int wx = bx + randomIn(seed, -2, 2), wy = by + randomIn(seed, -2, 2);
        const bool nearWhite = randomIn(seed, 0, 1) == 1;
        const int b2x = (nearWhite ? wx : bx) + randomIn(seed, -5, 5);
        const int b2y = (nearWhite ? wy : by) + randomIn(seed, -5, 5);
        if (!onBoard(request, bx, by) || !onBoard(request, wx, wy) || !onBoard(request, b2x, b2y)) continue;
        s.add(bx, by);
        if (s.has(wx, wy)) continue;
        s.add(wx, wy);
        if (s.has(b2x, b2y)) continue;
        s.add(b2x, b2y);
        addUnlessThere(list, s);
    }
    if (list.empty()) {
        // Every board from 5 x 5 up has these.
        Stones s;
        s.add(cx, cy);
        s.add(cx + 1, cy);
        s.add(cx, cy + 1);
        list.push_back(s);
    }
    return list;
}

// Empty cells within two rows and columns of a stone.
std::vector<Swap2Cell> cellsNear(const Swap2Request& request, const Stones& stones) {
    std::vector<Swap2Cell> cells;
    for (int x = 0; x < request.width; ++x)
        for (int y = 0; y < request.height; ++y) {
            if (stones.has(x, y)) continue;
            for (int i = 0; i < stones.count; ++i)
                if (std::abs(stones.cell[i].x - x) <= 2 && std::abs(stones.cell[i].y - y) <= 2) {
                    cells.push_back({x, y});
                    break;
                }
        }
    return cells;
}

// White's 4th and black's 5th stone near the others; the first few start
// from white's best move.
std::vector<Stones> pairs(const Swap2Request& request, const Stones& three, Swap2Cell bestWhite,
                          std::uint64_t seed) {
    std::vector<Stones> list;
    const std::vector<Swap2Cell> whiteCells = cellsNear(request, three);
    if (whiteCells.empty()) return list;
    for (int attempt = 0; attempt < 40 * Pairs && static_cast<int>(list.size()) < Pairs; ++attempt) {
        Stones s = three;
        const bool best = attempt < Pairs / 4 && bestWhite.x >= 0;
        const Swap2Cell w = best ? bestWhite : whiteCells[randomIn(seed, 0, static_cast<int>(whiteCells.size()) - 1)];
        s.add(w.x, w.y);
        const std::vector<Swap2Cell> blackCells = cellsNear(request, s);
        if (blackCells.empty()) continue;
        const Swap2Cell b = blackCells[randomIn(seed, 0, static_cast<int>(blackCells.size()) - 1)];
        s.add(b.x, b.y);
        addUnlessThere(list, s);
    }
    return list;
}

// A step of the decision: white's value and its depth, and the time so far.
void note(const Swap2Request& request, const Budget& budget, const char* step, const Probe& white) {
    if (!request.note) return;
    char line[160];
    std::snprintf(line, sizeof line, "swap2 %s: white's value %d at depth %d, %lld nodes left, %lld ms", step,
                  white.value, white.depth, budget.nodesLeft, budget.elapsedMs());
    request.note(line);
}

Swap2Answer layCells(const Stones& stones, int from) {
    Swap2Answer answer;
    for (int i = from; i < stones.count; ++i) answer.cells[answer.count++] = stones.cell[i];
    return answer;
}

Swap2Answer takeBlack() {
    Swap2Answer answer;
    answer.swap = true;
    return answer;
}

Swap2Answer propose(Engine& engine, const Swap2Request& request, Budget& budget) {
    const std::vector<Stones> candidates = proposals(request, seedOf(request));
    const Ranked best = closestToEven(engine, request, candidates, budget);
    note(request, budget, "proposal", best.probe);
    return layCells(candidates[best.index >= 0 ? best.index : 0], 0);
}

// White to move after three or five stones: stay white and play, or take black.
Swap2Answer chooseColour(const Probe& white) {
    if (!white.known || white.value < 0 || white.move.x < 0) return takeBlack();
    Swap2Answer answer;
    answer.cells[answer.count++] = white.move;
    return answer;
}

}  // namespace

Swap2Answer decideSwap2(Engine& engine, const Swap2Request& request) {
    Budget budget(request);
    Stones given;
    for (int i = 0; i < request.stoneCount && i < 5; ++i) given.add(request.stones[i].x, request.stones[i].y);
    // A new rule or board clears the engine's table: let that happen before
    // the probes that are timed.
    probe(engine, request, given, 1, 1000, budget, false);

    if (given.count == 0) return propose(engine, request, budget);

    const long long colourNodes = given.count == 3 ? budget.nodesLeft * ColourShareFifths / 5 : budget.nodesLeft;
    const Probe white = probe(engine, request, given, DeepestProbe, colourNodes, budget);
    note(request, budget, "colour", white);
    if (given.count == 3 && white.known && !white.cut && std::abs(white.value) <= Swap2CloseToEven) {
        const std::vector<Stones> candidates = pairs(request, given, white.move, seedOf(request));
        const Ranked best = closestToEven(engine, request, candidates, budget);
        note(request, budget, "two more", best.probe);
        if (best.index >= 0 && std::abs(best.probe.value) <= LayTwoLimit) return layCells(candidates[best.index], 3);
    }
    return chooseColour(white);
}

}  // namespace deep
