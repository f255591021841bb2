#include "engine.h"

#include <algorithm>
#include <memory>

#include "deep/engine.h"
#include "deep/swap2.h"

int AiTurn;
int MostDepth;
int DepthLimit = DefaultSearchDepth;
cellpos resultpos;

IterationStats Iterations[MaxSearchDepth];
int IterationCount;
void (*IterationReport)(const IterationStats& iteration, long long turnNodes, long long turnMs);

namespace {

template <bool Ruled>
void replayStones() {
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            if (board[x][y] != 0) MakeMove<Ruled>(x, y, board[x][y]);
}

// The first cell of the ordered list that may be played, however far down;
// a cell to avoid only when nothing else is left.
void fallBackToOrderedList() {
    onemove list[CellCount];
    SortMoves(AiTurn, list);
    for (const bool avoiding : {true, false})
        for (const onemove& m : list) {
            if (board[m.x][m.y] == 0 && !Closed[m.x][m.y] && !(avoiding && AvoidCell[m.x][m.y]) &&
                !isFoul(m.x, m.y, AiTurn)) {
                BestMove = {m.x, m.y};
                HaveBestMove = true;
                return;
            }
        }
}

}  // namespace

const cellpos& run() {
    if (DepthLimit > DefaultSearchDepth) return runDeep();

    // "Answer at once": one iteration, never cut.
    const bool quick = ManagerLimitMs == 0;
    startTurnClock(quick);

    clearRootMemory();
    init();
    AiTurn = MyStone;
    MaxDepth = 1;
    MostDepth = DepthLimit < 1 ? 1 : DepthLimit > MaxSearchDepth ? MaxSearchDepth : DepthLimit;
    BestMove = {0, 0};
    HaveBestMove = false;
    vcfBestMove = {0, 0};
    HaveVcfBestMove = false;
    initRandomkey();
    nowhash = 0;
    IterationCount = 0;

    setGameRule(Rule, blackSideIndex());
    const bool ruled = Rule != GameRule::FreeStyle;

    // The move of the last iteration that ran to its end.
    cellpos completeMove{0, 0};
    bool haveCompleteMove = false;
    while (MaxDepth <= MostDepth) {
        init();
        if (ruled) replayStones<true>(); else replayStones<false>();
        BestMove = {0, 0};
        HaveBestMove = false;

        const long long nodesBefore = Nodes;
        const long long startedAt = clockMs();
        const int value = ruled ? alphabeta<true>(MaxDepth, -WinScore, WinScore, AiTurn)
                                : alphabeta(MaxDepth, -WinScore, WinScore, AiTurn);
        const long long ms = clockMs() - startedAt;

        // A cut iteration that finished no root move knows less than the
        // iteration before it.
        if (!HaveBestMove && timeup && haveCompleteMove) {
            BestMove = completeMove;
            HaveBestMove = true;
        }
        if (!HaveBestMove) fallBackToOrderedList();
        Iterations[IterationCount++] = {MaxDepth, value, Nodes - nodesBefore, ms, !timeup, BestMove};
        if (IterationReport) IterationReport(Iterations[IterationCount - 1], Nodes, clockMs() - start_t);
        if (timeup || quick) break;
        completeMove = BestMove;
        haveCompleteMove = HaveBestMove;
        ++MaxDepth;
    }

    stopTurnClock();
    resultpos = BestMove;
    return resultpos;
}

// ---------------------------------------------------------------- deep mode

bool DeepByDefault = false;
void (*LiveAnalysis)(const LiveReport& report);
bool LiveLines = false;
int RankedMoves = 1;
bool AvoidCell[BoardSize][BoardSize];
deep::TurnBudget DeepTurnBudget{-1, -1};
long long DeepTurnAskedMs = -1;

namespace {

std::unique_ptr<deep::Engine> deepEngine;

deep::Engine& theDeepEngine() {
    if (!deepEngine) deepEngine = std::make_unique<deep::Engine>();
    return *deepEngine;
}

deep::Rule deepRule(GameRule rule) {
    switch (rule) {
    case GameRule::ExactFive: return deep::Rule::Standard;
    case GameRule::Renju: return deep::Rule::Renju;
    case GameRule::Caro: return deep::Rule::Caro;
    case GameRule::FreeStyle: break;
    }
    return deep::Rule::Freestyle;
}

// The smallest rectangle holding every open cell.
void playingArea(int& width, int& height) {
    width = height = 0;
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            if (!Closed[x][y]) {
                width = std::max(width, x + 1);
                height = std::max(height, y + 1);
            }
    if (width == 0) width = height = BoardSize;
}

// The board as the deep engine takes it: the playing area, closed cells
// inside it blocked.
deep::TurnPosition deepTurnPosition() {
    deep::TurnPosition turn;
    playingArea(turn.width, turn.height);
    for (int x = 0; x < turn.width; ++x)
        for (int y = 0; y < turn.height; ++y)
            turn.cell[x][y] = Closed[x][y] ? 3 : board[x][y] == MyStone ? 1 : board[x][y] == OpponentStone ? 2 : 0;
    turn.rule = deepRule(Rule);
    turn.ownSide = blackSideIndex() == sideIndex(MyStone) ? 0 : 1;
    return turn;
}

cellpos cellOf(int slot) { return {deep::xOf(slot), deep::yOf(slot)}; }

void reportLive(const deep::IterationReport& r) {
    if (!LiveAnalysis) return;
    LiveReport live{};
    switch (r.kind) {
    case deep::ReportKind::IterationStart: live.kind = LiveKind::NewIteration; break;
    case deep::ReportKind::Searching: live.kind = LiveKind::Searching; break;
    case deep::ReportKind::Searched: live.kind = LiveKind::Searched; break;
    case deep::ReportKind::Lost: live.kind = LiveKind::Lost; break;
    case deep::ReportKind::Best: live.kind = LiveKind::Best; break;
    case deep::ReportKind::Ranked: live.kind = LiveKind::Ranked; break;
    case deep::ReportKind::Iteration: return;
    }
    live.cell = cellOf(r.move);
    live.depth = r.depth;
    live.value = r.value;
    live.rank = r.rank;
    live.lineLength = std::min(r.lineLength, MaxLiveLine);
    for (int i = 0; i < live.lineLength; ++i) live.line[i] = cellOf(r.line[i]);
    LiveAnalysis(live);
}

void recordDeepIteration(void*, const deep::IterationReport& r) {
    if (r.kind != deep::ReportKind::Iteration) {
        reportLive(r);
        return;
    }
    if (IterationCount >= MaxSearchDepth) return;
    long long nodesBefore = 0, msBefore = 0;
    for (int i = 0; i < IterationCount; ++i) {
        nodesBefore += Iterations[i].nodes;
        msBefore += Iterations[i].ms;
    }
    const cellpos best = cellOf(r.move);
    Iterations[IterationCount++] = {r.depth, r.value, r.nodes - nodesBefore, r.ms - msBefore, r.complete, best};
    if (IterationReport) IterationReport(Iterations[IterationCount - 1], r.nodes, clockMs() - start_t);
}

}  // namespace

void sizeDeepTables(std::size_t bytes) { theDeepEngine().setTableBytes(bytes); }

void setDeepThreads(int count) { theDeepEngine().setThreads(count); }

void prepareDeepRule(GameRule rule) { deep::shapeTableFor(deepRule(rule)); }

bool populateDeepTables(const std::atomic<bool>& cancel) { return !deepEngine || deepEngine->populateTables(cancel); }

bool deepTablesChange(std::size_t bytes) {
    return !deepEngine || deepEngine->tableBytes() != deep::TranspositionTable::bytesFor(bytes);
}

void forgetDeepGames() {
    if (deepEngine) deepEngine->newGame();
}

bool deepTablesThere() { return deepEngine && deepEngine->tableBytes() > 0; }

bool hashTablesThere() { return hashp[0] != nullptr; }

void releaseDeepTables() {
    if (deepEngine) deepEngine->releaseTables();
}

const cellpos& runDeep() {
    // "Answer at once": one whole iteration of depth 1.
    const bool quick = DeepTurnBudget.hardMs == 0;
    start_t = clockMs();
    if (DeepTurnAskedMs >= 0 && DeepTurnAskedMs < start_t) start_t = DeepTurnAskedMs;
    DeepTurnAskedMs = -1;
    timeup = false;
    Nodes = 0;
    IterationCount = 0;
    AiTurn = MyStone;

    deep::SearchLimits limits;
    // Soft 0: the root's threat searches at their smallest budgets too, or
    // a clock nearly out would still pay for them move after move.
    limits.softMs = quick ? 0 : DeepTurnBudget.softMs;
    limits.hardMs = quick ? -1 : DeepTurnBudget.hardMs;
    limits.nodes = quick ? 0 : NodeLimit;
    limits.maxDepth = quick ? 1 : DepthLimit >= MaxSearchDepth ? deep::MaxPly : DepthLimit;
    limits.stop = quick ? nullptr : &StopRequested;
    limits.clock = clockMs;
    limits.startMs = start_t;
    limits.live = LiveLines && LiveAnalysis;
    limits.multiPv = LiveAnalysis ? RankedMoves : 1;
    deep::SlotSet avoid;
    avoid.clear();
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            if (AvoidCell[x][y]) avoid.insert(deep::slotOf(x, y));
    if (!avoid.empty()) limits.avoid = &avoid;

    const deep::Engine::Move move = theDeepEngine().think(deepTurnPosition(), limits, recordDeepIteration, nullptr);
    Nodes = theDeepEngine().nodes();
    timeup = IterationCount > 0 && !Iterations[IterationCount - 1].complete;
    resultpos = move.x >= 0 ? cellpos{move.x, move.y} : cellpos{0, 0};
    return resultpos;
}

// ---------------------------------------------------------------- swap2

long long Swap2Nodes = 1;
std::size_t Swap2TableBytes = 0;
long long Swap2LimitMs = -1;
long long Swap2StartMs = -1;
long long Swap2Variation = 0;
void (*Swap2Note)(const char* text);

Swap2Decision runSwap2(const Swap2Stones& stones) {
    deep::Swap2Request request;
    playingArea(request.width, request.height);
    request.rule = deepRule(Rule);
    request.stoneCount = stones.count;
    for (int i = 0; i < stones.count; ++i) request.stones[i] = {stones.cell[i].x, stones.cell[i].y};
    request.nodes = Swap2Nodes;
    request.hardMs = Swap2LimitMs;
    request.startMs = Swap2StartMs;
    request.stop = &StopRequested;
    request.clock = clockMs;
    request.variation = Swap2Variation;
    request.note = Swap2Note;

    deep::Engine engine;
    engine.setTableBytes(Swap2TableBytes);
    const deep::Swap2Answer answer = deep::decideSwap2(engine, request);
    Swap2Decision decision{answer.swap, answer.count, {}};
    for (int i = 0; i < answer.count; ++i) decision.cell[i] = {answer.cells[i].x, answer.cells[i].y};
    return decision;
}
