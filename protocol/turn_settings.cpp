// What the manager's INFO settings let a turn use. INFO is handled while
// the worker thinks, so the settings reach the engine only here, on the
// main thread, before a move is asked for.
#include <algorithm>

#include "../engine/engine.h"
#include "deep/table.h"
#include "protocol.h"

namespace {

constexpr long long TimeLeftShare = 10;

// What the process needs besides the two tables.
constexpr long long ProcessReserveBytes = 16ll << 20;
// Besides the deep engine's table: the same, its shape tables and caches.
constexpr long long DeepReserveBytes = 28ll << 20;
// With no memory limit.
constexpr long long DefaultDeepTableBytes = 128ll << 20;
// A turn of a second fills about this much of the table: a larger one
// only costs the pages it takes.
constexpr long long DeepTableBytesPerTurnMs = 64ll << 10;
constexpr long long SmallestDeepTableBytes = 16ll << 20;

// What an allowance leaves after the margin for waking the worker, setting
// up the turn and writing the reply.
long long lessSafetyMargin(long long allowanceMs) { return allowanceMs - (60 + allowanceMs / 16); }

}  // namespace

long long manager_time_limit_ms() {
    if (info_timeout_turn <= 0) return 0;
    long long limit = lessSafetyMargin(info_timeout_turn);
    if (info_timeout_match > 0) {
        const long long share = lessSafetyMargin(info_time_left / TimeLeftShare);
        if (share < limit) limit = share;
    }
    return limit > 0 ? limit : 0;
}

int hash_bits_for_memory(long long max_memory) {
    if (max_memory <= 0) return DefaultHashBits;
    const long long budget = max_memory - ProcessReserveBytes;
    int bits = DefaultHashBits;
    while (bits >= MinHashBits && (2ll * static_cast<long long>(sizeof(hashentry)) << bits) > budget) --bits;
    return bits;
}

long long deep_table_bytes(long long max_memory, long long turn_ms, long long hash_kb) {
    if (hash_kb > 0) {
        // What the board asks for, within max_memory when there is one.
        const long long wanted = std::min(hash_kb, 1ll << largest_hash_size_log2()) << 10;
        if (max_memory <= 0) return wanted;
        return std::min(wanted, max_memory > DeepReserveBytes ? max_memory - DeepReserveBytes : 0);
    }
    const long long allowed =
        max_memory <= 0 ? DefaultDeepTableBytes : max_memory > DeepReserveBytes ? max_memory - DeepReserveBytes : 0;
    if (turn_ms <= 0) return allowed;
    return std::min(allowed, std::max(SmallestDeepTableBytes, turn_ms * DeepTableBytesPerTurnMs));
}

bool deep_turns_wanted() { return search_depth_for(info_max_depth) > DefaultSearchDepth; }

// The tables are allocated by the first turn, once the game's INFO lines
// have come; only tables above a lowered limit go before that. One engine's
// tables at a time: deep turns and default ones never share them.
void fit_tables_to_memory() {
    // Tables are freed or resized only with no thread bringing them in.
    if (deep_turns_wanted()) {
        if (hashTablesThere()) {
            stop_table_preparation();
            releaseHashTables();
        }
        const auto bytes = static_cast<std::size_t>(deep_table_bytes(info_max_memory, info_timeout_turn, info_hash_size));
        if (deepTablesChange(bytes)) {
            stop_table_preparation();
            sizeDeepTables(bytes);
        }
        prepare_rule_in_background(ruleFromInfo(info_rule));
        return;
    }
    if (deepTablesThere()) {
        stop_table_preparation();
        releaseDeepTables();
    }
    const int bits = hash_bits_for_memory(info_max_memory);
    if (bits != HashBits) stop_table_preparation();
    HashBits = bits;
    shrinkHashTables();
}

void prepare_tables_while_idle() {
    // Only the main thread wakes the worker: idle now means idle until then,
    // so the tables may be allocated here.
    if (!event2.isSignalled()) return;
    fit_tables_to_memory();
    start_table_preparation();
}

// Before the turn starts the manager's clock, and never on the way to a
// reply: renju's tables take a tenth of a second, more on a slow machine.
void prepare_rule(int bits) {
    if (deep_turns_wanted()) prepare_rule_in_background(ruleFromInfo(bits));
}

int search_depth_for(int max_depth) {
    if (max_depth <= 0) return DeepByDefault ? MaxSearchDepth : DefaultSearchDepth;
    return max_depth > MaxSearchDepth ? MaxSearchDepth : max_depth;
}

deep::TurnClock turn_clock() {
    int stones = 0;
    for (const auto& column : board)
        for (const int stone : column) stones += stone != 0;
    return {info_time_given, info_timeout_turn, info_timeout_match, info_time_left, stones};
}

namespace {

// The deep engine's pace on the development machine, with room for slower
// ones; the clock cuts a decision that would run late all the same.
constexpr long long Swap2NodesPerMs = 400;
// "Answer at once": a few shallow searches.
constexpr long long QuickSwap2Nodes = 20000;
// The plain executable answers quickly, as it does moves.
constexpr long long PlainSwap2LimitMs = 1000;
constexpr long long MostSwap2TableBytes = 16ll << 20;
// The decision's own engine besides its table: threat caches, position, history.
constexpr long long Swap2EngineBytes = 4ll << 20;
constexpr long long UnlimitedTimeLeft = 2147483647;

// As a deep turn's: a decision is cut in the middle of a search.
long long lessDeepMargin(long long allowanceMs) { return allowanceMs - (80 + allowanceMs / 10); }

void report_swap2_note(const char* text) { pipeOut("MESSAGE %s", text); }

}  // namespace

// A share of the match clock, as for one move, within the turn limit and
// the engine's own cap: the opening is one or two decisions of a long game.
long long swap2_time_limit_ms() {
    long long limit = TimeLimitMs;
    if (!deep_turns_wanted()) limit = std::min(limit, PlainSwap2LimitMs);
    if (!info_time_given) return limit;
    if (info_timeout_turn <= 0) return 0;
    limit = std::min(limit, lessDeepMargin(info_timeout_turn));
    if (info_timeout_match > 0 && info_time_left != UnlimitedTimeLeft)
        limit = std::min(limit, lessDeepMargin(info_time_left / TimeLeftShare));
    return limit > 0 ? limit : 0;
}

long long swap2_table_bytes(long long max_memory, bool deep) {
    if (max_memory <= 0) return MostSwap2TableBytes;
    long long tables;
    if (deep) {
        tables = static_cast<long long>(
            deep::TranspositionTable::bytesFor(static_cast<std::size_t>(deep_table_bytes(max_memory, info_timeout_turn))));
    } else {
        const int bits = hash_bits_for_memory(max_memory);
        tables = bits >= MinHashBits ? 2ll * static_cast<long long>(sizeof(hashentry)) << bits : 0;
    }
    return std::clamp(max_memory - DeepReserveBytes - tables - Swap2EngineBytes, 0ll, MostSwap2TableBytes);
}

void prepare_swap2() {
    // The tables below, and the commands before, take time of the manager's clock too.
    Swap2StartMs = BusySinceMs >= 0 ? BusySinceMs : clockMs();
    fit_tables_to_memory();
    Swap2TableBytes = static_cast<std::size_t>(swap2_table_bytes(info_max_memory, deep_turns_wanted()));
    Rule = ruleFromInfo(info_rule);
    prepare_rule_in_background(Rule);
    const long long limit = swap2_time_limit_ms();
    Swap2LimitMs = limit > 0 ? limit : -1;
    Swap2Nodes = info_max_node > 0 ? info_max_node : limit > 0 ? limit * Swap2NodesPerMs : QuickSwap2Nodes;
    // A new process per game meets the same clock but for a few milliseconds.
    Swap2Variation = info_time_left;
    Swap2Note = info_show_detail != 0 ? report_swap2_note : nullptr;
    StopRequested.store(false, std::memory_order_relaxed);
}

void prepare_turn(int rankedMoves) {
    ManagerLimitMs = manager_time_limit_ms();
    fit_tables_to_memory();
    // The turn allocates tables of another size itself: nothing may bring
    // the old ones in meanwhile.
    if (!deep_turns_wanted() && !hashTablesAsWanted()) stop_table_preparation();
    DepthLimit = search_depth_for(info_max_depth);
    // Ranking moves is the deep engine's work, in either executable.
    if (rankedMoves > 1 && DepthLimit <= DefaultSearchDepth) DepthLimit = MaxSearchDepth;
    Rule = ruleFromInfo(info_rule);
    if (DepthLimit > DefaultSearchDepth) {
        DeepTurnBudget = deep::planTurn(turn_clock());
        DeepTurnAskedMs = BusySinceMs;
        setDeepThreads(info_thread_num);
    }
    NodeLimit = info_max_node > 0 ? info_max_node : 0;
    IterationReport = info_show_detail != 0 ? report_iteration : nullptr;
    RankedMoves = rankedMoves;
    LiveLines = gui_mode || info_show_detail != 0;
    LiveAnalysis = LiveLines || rankedMoves > 1 ? report_live : nullptr;
    apply_block_list();
    // A STOP that came while the worker was idle must not cut this turn.
    StopRequested.store(false, std::memory_order_relaxed);
}

void clear_search_memory() {
    stop_table_preparation();
    forgetDeepGames();
}

// An idle worker is told too: harmless, since the next move request clears
// the flag before it wakes the worker.
void request_stop() { StopRequested.store(true, std::memory_order_relaxed); }
