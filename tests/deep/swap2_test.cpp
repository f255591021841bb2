// Swap2 decisions of the deep engine: legal on every board and under every
// rule, the same for the same request, and legal even when stopped before
// any search.
#include <atomic>
#include <random>
#include <set>
#include <utility>

#include "deep/swap2.h"
#include "deep_helpers.h"

namespace deep_test {
namespace {

Swap2Request requestFor(int width, int height, Rule rule, int stones, std::mt19937& rng, long long nodes) {
    Swap2Request request;
    request.width = width;
    request.height = height;
    request.rule = rule;
    request.nodes = nodes;
    std::set<std::pair<int, int>> taken;
    while (request.stoneCount < stones) {
        const int x = static_cast<int>(rng() % static_cast<unsigned>(width));
        const int y = static_cast<int>(rng() % static_cast<unsigned>(height));
        if (taken.insert({x, y}).second) request.stones[request.stoneCount++] = {x, y};
    }
    return request;
}

// The answer forms of the opening, on free cells of the board.
void expectLegal(const Swap2Request& request, const Swap2Answer& answer) {
    const int stones = request.stoneCount;
    if (answer.swap) {
        EXPECT_NE(stones, 0) << "SWAP with nothing to choose";
        EXPECT_EQ(answer.count, 0);
        return;
    }
    const int wanted = stones == 0 ? 3 : 1;
    EXPECT_TRUE(answer.count == wanted || (stones == 3 && answer.count == 2)) << answer.count << " cells";
    std::set<std::pair<int, int>> taken;
    for (int i = 0; i < stones; ++i) taken.insert({request.stones[i].x, request.stones[i].y});
    for (int i = 0; i < answer.count; ++i) {
        const Swap2Cell c = answer.cells[i];
        EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x < request.width && c.y < request.height)
            << c.x << "," << c.y << " on " << request.width << "x" << request.height;
        EXPECT_TRUE(taken.insert({c.x, c.y}).second) << "taken: " << c.x << "," << c.y;
    }
}

bool sameAnswer(const Swap2Answer& a, const Swap2Answer& b) {
    if (a.swap != b.swap || a.count != b.count) return false;
    for (int i = 0; i < a.count; ++i)
        if (a.cells[i].x != b.cells[i].x || a.cells[i].y != b.cells[i].y) return false;
    return true;
}

TEST(DeepSwap2, AnswersLegallyOnEveryBoardUnderEveryRule) {
    std::mt19937 rng(3);
    Engine engine;
    engine.setTableBytes(1 << 20);
    const std::pair<int, int> boards[] = {{15, 15}, {20, 20}, {5, 5}, {6, 19}};
    for (const Rule rule : {Rule::Freestyle, Rule::Standard, Rule::Renju, Rule::Caro})
        for (const auto& [width, height] : boards)
            for (const int stones : {0, 3, 5}) {
                const Swap2Request request = requestFor(width, height, rule, stones, rng, 4000);
                SCOPED_TRACE(testing::Message() << "rule " << static_cast<int>(rule) << ", " << width << "x" << height
                                                << ", " << stones << " stones");
                expectLegal(request, decideSwap2(engine, request));
            }
}

// A fresh engine answers a request as another fresh engine does; the
// proposals of an empty board change with the clock.
TEST(DeepSwap2, SameRequestSameAnswerAndProposalsVary) {
    std::mt19937 rng(8);
    for (const int stones : {0, 3, 5}) {
        const Swap2Request request = requestFor(15, 15, Rule::Standard, stones, rng, 10000);
        Engine first, second;
        first.setTableBytes(1 << 20);
        second.setTableBytes(1 << 20);
        EXPECT_TRUE(sameAnswer(decideSwap2(first, request), decideSwap2(second, request))) << stones << " stones";
    }
    std::set<std::vector<int>> proposals;
    for (const long long timeLeft : {19890, 19891, 19892, 19893}) {
        Swap2Request request;
        request.rule = Rule::Standard;
        request.nodes = 8000;
        request.variation = timeLeft;
        Engine engine;
        engine.setTableBytes(1 << 20);
        const Swap2Answer answer = decideSwap2(engine, request);
        std::vector<int> cells;
        for (int i = 0; i < answer.count; ++i) cells.insert(cells.end(), {answer.cells[i].x, answer.cells[i].y});
        proposals.insert(cells);
    }
    EXPECT_GT(proposals.size(), 1u);
}

TEST(DeepSwap2, StoppedBeforeAnySearchStillAnswersLegally) {
    std::mt19937 rng(4);
    const std::atomic<bool> stop{true};
    Engine engine;
    for (const int stones : {0, 3, 5}) {
        Swap2Request request = requestFor(15, 15, Rule::Standard, stones, rng, 100000);
        request.stop = &stop;
        const Swap2Answer answer = decideSwap2(engine, request);
        expectLegal(request, answer);
        EXPECT_EQ(answer.swap, stones > 0) << "with nothing searched, black";
    }
}

}  // namespace
}  // namespace deep_test
