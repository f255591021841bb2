// morrow-bench: searches every position of the fixed suite to full depth
// with the time limit lifted, one line per position, then a summary. The
// total node count is the signature: it depends only on what the search
// does, never on the machine or its load, so two builds with the same
// signature and the same moves searched the same trees.
//
//   morrow-bench [--filter SUBSTRING] [--quiet | --moves] [--engine-only] [--depth N] [--rule N] [--deep-ms N]
//   morrow-bench --deep [--depth N] [--filter SUBSTRING] [--quiet | --moves] [--rule N]
//   either with [--threads N] for the deep turns
//
// Every position is also searched by the straightforward reference engine,
// side by side: its time gives the speed ratio, and any move, root value or
// node count that differs from the engine's fails the run. --engine-only
// skips it, and so does --depth, which deepens every turn to N plies
// instead of 4 (the reference engine knows only 4), and --rule, which plays
// the positions under INFO rule N (1 exact five, 4 renju, 8 caro) instead of
// free-style, and --deep-ms, which gives every position a deep turn of N
// milliseconds (deep mode) and reports the depth it reached.
//
// --deep searches every position with deep mode's engine to a fixed depth
// (10 unless --depth says otherwise), each as the first turn of a new game:
// its total node count is deep mode's signature, and the summary gives its
// nodes per second.
//
// --threads N searches the deep turns with N threads. Their trees depend on
// how the threads meet in the table, so the signature is no longer fixed;
// the summary adds every thread's nodes, and their rate.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/positions.h"
#include "engine/engine.h"
#ifdef MORROW_BENCH_REFERENCE
#include "reference/engine.h"
#endif

namespace {

// Turns slower than this would be cut under the engine's own cap.
constexpr long long TurnCapMs = 4500;
// The fixed depth of --deep.
constexpr int DeepBenchDepth = 10;
// Deep mode's table in the bench.
constexpr std::size_t DeepBenchTableBytes = std::size_t{64} << 20;

enum class Mode { Full, Quiet, Moves };

struct Search {
    cellpos move;
    long long nodes;
    long long allNodes;  // every thread's
    long long ms;
    int iterationCount;
    IterationStats iterations[MaxSearchDepth];
};

struct Result {
    const char* name;
    Search engine;
    Search reference;
    bool same;
};

// Fresh generator and tables, the position, no clock: every run of a
// position searches the very same tree. The tables are kept from position to
// position, as from turn to turn in a game: each turn zeroes what the last
// one wrote, so they are as fresh as new ones (their first allocation is
// measured on its own, see measureTables).
Search searchWithEngine(const char* text) {
    resetRandom();
    forgetDeepGames();
    loadBenchPosition(text);
    TimeLimitMs = -1;
    ManagerLimitMs = -1;

    Search s{};
    const long long startedAt = clockMs();
    s.move = run();
    s.ms = clockMs() - startedAt;
    s.allNodes = Nodes;
    s.iterationCount = IterationCount;
    for (int k = 0; k < IterationCount; ++k) {
        s.iterations[k] = Iterations[k];
        s.nodes += Iterations[k].nodes;
    }
    return s;
}

#ifdef MORROW_BENCH_REFERENCE
Search searchWithReference(const char* text) {
    loadBenchPosition(text);
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) reference::board[x][y] = board[x][y];
    reference::openPlayingArea(BoardSize, BoardSize);
    reference::init();
    reference::resetRandom();
    reference::releaseHashTables();
    reference::TimeLimitMs = -1;
    reference::ManagerLimitMs = -1;

    Search s{};
    const long long startedAt = clockMs();
    const reference::cellpos move = reference::run();
    s.ms = clockMs() - startedAt;
    s.move = {move.x, move.y};
    s.iterationCount = reference::IterationCount;
    for (int k = 0; k < reference::IterationCount; ++k) {
        const reference::IterationStats& it = reference::Iterations[k];
        s.iterations[k] = {it.depth, it.value, it.nodes, it.ms, it.complete, {move.x, move.y}};
        s.nodes += it.nodes;
    }
    reference::releaseHashTables();
    reference::TimeLimitMs = TurnCapMs;
    return s;
}

bool sameSearch(const Search& a, const Search& b) {
    if (a.nodes != b.nodes) return false;
    if (a.move.x != b.move.x || a.move.y != b.move.y || a.iterationCount != b.iterationCount) return false;
    for (int k = 0; k < a.iterationCount; ++k)
        if (a.iterations[k].value != b.iterations[k].value || a.iterations[k].nodes != b.iterations[k].nodes)
            return false;
    return true;
}
#endif

// FNV-1a over every name and text: a changed suite shows here, so a new
// signature can be told from a new suite.
std::uint64_t suiteDigest() {
    std::uint64_t h = 14695981039346656037ULL;
    const auto add = [&h](const char* text) {
        for (const char* p = text; *p != '\0'; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211ULL;
        h = (h ^ 0xffu) * 1099511628211ULL;
    };
    for (int i = 0; i < benchPositionCount(); ++i) {
        add(benchPositions()[i].name);
        add(benchPositions()[i].board);
    }
    return h;
}

std::string cell(cellpos c) { return std::to_string(c.x) + "," + std::to_string(c.y); }

void usage() {
    std::fprintf(stderr,
                 "usage: morrow-bench [--filter SUBSTRING] [--quiet | --moves] [--engine-only] [--depth N] [--rule N] "
                 "[--deep-ms N] [--threads N]\n"
                 "       morrow-bench --deep [--depth N] [--filter SUBSTRING] [--quiet | --moves] [--rule N] "
                 "[--threads N]\n");
}

// Tables allocated and their pages touched before the first position, as
// in a match that has played a few turns: no position pays for them.
void warmHashTables() {
    freshHashTables();
    for (hashentry* table : hashp)
        if (table) std::memset(static_cast<void*>(table), 0, (HashMask + 1) * sizeof(hashentry));
}

// What fresh tables cost: a first turn that allocates them and touches its
// pages for the first time, against the same turn with the tables kept, and
// the zeroing of the entries a turn wrote, paid at the start of the next.
void measureTables(const char* text) {
    releaseHashTables();
    const long long firstTurn = searchWithEngine(text).ms;
    const long long keptTurn = searchWithEngine(text).ms;
    const auto zeroingStart = std::chrono::steady_clock::now();
    freshHashTables();
    const double zeroingMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - zeroingStart).count();
    std::printf("tables     first turn %lld ms, same turn with kept tables %lld ms, zeroing its entries %.2f ms\n",
                firstTurn, keptTurn, zeroingMs);
}

// Total, median and maximum milliseconds, and the turns over the cap.
void printTimes(const char* label, const std::vector<long long>& ms) {
    std::vector<long long> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    long long total = 0;
    for (long long t : sorted) total += t;
    const long long median = n == 0 ? 0 : n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    const long long longest = n == 0 ? 0 : sorted.back();
    const long long over = std::count_if(sorted.begin(), sorted.end(), [](long long t) { return t > TurnCapMs; });
    std::printf("%-10s %lld ms total, median %lld ms, max %lld ms, over %lld ms: %lld\n", label, total, median,
                longest, TurnCapMs, over);
}

void printSlowest(const char* label, std::vector<Result> results, bool reference) {
    const auto ms = [reference](const Result& r) { return reference ? r.reference.ms : r.engine.ms; };
    // Stable, so equal times keep suite order.
    std::stable_sort(results.begin(), results.end(), [&](const Result& a, const Result& b) { return ms(a) > ms(b); });
    if (results.size() > 5) results.resize(5);
    std::printf("%-10s", label);
    for (const Result& r : results) std::printf(" %s %lld ms;", r.name, ms(r));
    std::printf("\n");
}

double ratio(long long reference, long long engine) {
    return static_cast<double>(reference) / static_cast<double>(engine > 0 ? engine : 1);
}

void printSummary(const std::vector<Result>& results, bool withReference, bool deep, int threads) {
    long long nodes = 0;
    std::vector<long long> engineMs, referenceMs;
    int differing = 0;
    for (const Result& r : results) {
        nodes += r.engine.nodes;
        engineMs.push_back(r.engine.ms);
        referenceMs.push_back(r.reference.ms);
        differing += r.same ? 0 : 1;
    }
    std::printf("suite      %016llx\n", static_cast<unsigned long long>(suiteDigest()));
    std::printf("positions  %zu\n", results.size());
    std::printf("signature  %lld\n", nodes);
    printTimes("time", engineMs);
    if (deep) {
        long long ms = 0;
        for (long long t : engineMs) ms += t;
        std::printf("speed      %.0f nodes per second\n", ms > 0 ? 1000.0 * static_cast<double>(nodes) / static_cast<double>(ms) : 0.0);
    }
    if (threads > 0) {
        long long all = 0, ms = 0;
        for (const Result& r : results) {
            all += r.engine.allNodes;
            ms += r.engine.ms;
        }
        std::printf("threads    %d: %lld nodes in %lld ms, %.0f nodes per second\n", threads, all, ms,
                    ms > 0 ? 1000.0 * static_cast<double>(all) / static_cast<double>(ms) : 0.0);
    }
    printSlowest("slowest", results, false);
    if (withReference) {
        printTimes("reference", referenceMs);
        printSlowest("ref-slow", results, true);
        long long engineTotal = 0, referenceTotal = 0;
        for (const Result& r : results) {
            engineTotal += r.engine.ms;
            referenceTotal += r.reference.ms;
        }
        std::printf("ratio      %.1f (reference time / engine time)\n", ratio(referenceTotal, engineTotal));
        std::printf("differing  %d\n", differing);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* filter = nullptr;
    Mode mode = Mode::Full;
    bool deep = false, depthGiven = false;
    int threads = 0;  // not given
#ifdef MORROW_BENCH_REFERENCE
    bool withReference = true;
#else
    bool withReference = false;
#endif
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--filter") == 0 && i + 1 < argc) {
            filter = argv[++i];
        } else if (std::strcmp(argv[i], "--quiet") == 0) {
            mode = Mode::Quiet;
        } else if (std::strcmp(argv[i], "--moves") == 0) {
            mode = Mode::Moves;
        } else if (std::strcmp(argv[i], "--engine-only") == 0) {
            withReference = false;
        } else if (std::strcmp(argv[i], "--deep") == 0) {
            deep = true;
            withReference = false;
        } else if (std::strcmp(argv[i], "--depth") == 0 && i + 1 < argc) {
            depthGiven = true;
            DepthLimit = std::atoi(argv[++i]);
            if (DepthLimit < 1 || DepthLimit > MaxSearchDepth) {
                usage();
                return 2;
            }
            withReference = withReference && DepthLimit == DefaultSearchDepth;
        } else if (std::strcmp(argv[i], "--deep-ms") == 0 && i + 1 < argc) {
            const long long ms = std::atoll(argv[++i]);
            DeepTurnBudget = {ms, ms};
            DepthLimit = MaxSearchDepth;
            withReference = false;
        } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
            if (threads < 1) {
                usage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--rule") == 0 && i + 1 < argc) {
            Rule = ruleFromInfo(std::atoi(argv[++i]));
            withReference = withReference && Rule == GameRule::FreeStyle;
        } else {
            usage();
            return 2;
        }
    }

    if (deep) {
        if (!depthGiven) DepthLimit = DeepBenchDepth;
        if (DepthLimit <= DefaultSearchDepth) {
            usage();
            return 2;
        }
        DeepTurnBudget = {-1, -1};
    }
    if (DepthLimit > DefaultSearchDepth) sizeDeepTables(DeepBenchTableBytes);
    if (threads > 0) setDeepThreads(threads);

    const BenchPosition* positions = benchPositions();
    const int count = benchPositionCount();

    // The whole suite is checked whatever the filter: a broken position
    // must not hide behind one.
    bool allValid = true;
    std::vector<bool> valid(count);
    for (int i = 0; i < count; ++i) {
        const std::string fault = checkBenchPosition(positions[i].board);
        valid[i] = fault.empty();
        if (!valid[i]) {
            std::fprintf(stderr, "invalid position %s: %s\n", positions[i].name, fault.c_str());
            allValid = false;
        }
    }

    if (mode == Mode::Full)
        std::printf("%2s  %-20s %6s  %s\n", "#", "name", "move",
                    withReference ? "| depth value nodes ms ... | total nodes ms | reference ms ratio"
                                  : "| depth value nodes ms ... | total nodes ms");

    warmHashTables();
    std::vector<Result> results;
    for (int i = 0; i < count; ++i) {
        const BenchPosition& p = positions[i];
        if (filter && std::strstr(p.name, filter) == nullptr) continue;
        if (!valid[i]) continue;

        Result r{p.name, searchWithEngine(p.board), {}, true};
#ifdef MORROW_BENCH_REFERENCE
        if (withReference) {
            r.reference = searchWithReference(p.board);
            r.same = sameSearch(r.engine, r.reference);
        }
#endif
        results.push_back(r);

        const Search& s = r.engine;
        if (mode == Mode::Moves) {
            std::printf("%s %s", p.name, cell(s.move).c_str());
            if (!r.same) std::printf(" DIFFERS reference %s", cell(r.reference.move).c_str());
            std::printf("\n");
        } else if (mode == Mode::Full) {
            std::printf("%2d  %-20s %6s ", i + 1, p.name, cell(s.move).c_str());
            // Deep turns: the last iteration only.
            for (int k = deep && s.iterationCount > 0 ? s.iterationCount - 1 : 0; k < s.iterationCount; ++k) {
                const IterationStats& it = s.iterations[k];
                std::printf(" | d%d %6d %10lld %7lld", it.depth, it.value, it.nodes, it.ms);
            }
            std::printf(" | %11lld %8lld", s.nodes, s.ms);
            if (withReference) {
                std::printf(" | %8lld %5.1f", r.reference.ms, ratio(r.reference.ms, s.ms));
                if (!r.same)
                    std::printf(" DIFFERS reference %s %lld nodes", cell(r.reference.move).c_str(),
                                r.reference.nodes);
            }
            std::printf("\n");
        } else if (!r.same) {
            std::printf("%s DIFFERS\n", p.name);
        }
        if (!r.same)
            std::fprintf(stderr, "morrow-bench: %s: the engine and the reference engine disagree\n", p.name);
        std::fflush(stdout);
    }

    if (mode != Mode::Moves) {
        printSummary(results, withReference, deep, threads);
        if (!results.empty() && !deep) measureTables(positions[0].board);
    }

    releaseHashTables();
    releaseDeepTables();
    TimeLimitMs = TurnCapMs;
    ManagerLimitMs = -1;

    const bool allSame = std::all_of(results.begin(), results.end(), [](const Result& r) { return r.same; });
    return allValid && allSame ? 0 : 1;
}
