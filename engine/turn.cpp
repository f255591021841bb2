#include "engine.h"

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

// The first cell of the ordered list that may be played, however far down.
void fallBackToOrderedList() {
    onemove list[CellCount];
    SortMoves(AiTurn, list);
    for (const onemove& m : list) {
        if (board[m.x][m.y] == 0 && !Closed[m.x][m.y] && !isFoul(m.x, m.y, AiTurn)) {
            BestMove = {m.x, m.y};
            HaveBestMove = true;
            return;
        }
    }
}

}  // namespace

const cellpos& run() {
    if (DepthLimit > DefaultSearchDepth) return runDeep();
    forgetDeepTables();

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
