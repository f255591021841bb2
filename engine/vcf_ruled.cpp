// VCF under the rules other than free-style. Every four is written on the
// board with ruled trial stones, so the attacker's threes and fours are the
// ones that can still win under the rule.
#include <bit>

#include "engine.h"

namespace {

constexpr int MaxVcfDepth = 6;

// The block turns a three of the defender (side index 1 - k) into a four:
// the attacker would have to answer it, so the line is no longer forcing.
bool blockMakesFour(cellpos block, int k) {
    const int defenderThree = k == 0 ? -1200 : 3;
    const int cell = block.x * BoardSize + block.y;
    for (int i = 0; i < LiveCount[cell]; ++i) {
        const int w = LiveWindows[cell][i];
        if (Sum5[w] == defenderThree && !windowBarred(1 - k, w)) return true;
    }
    return false;
}

bool inWindow(int w, cellpos c) {
    for (const cellpos& p : Win2Point[w])
        if (p.x == c.x && p.y == c.y) return true;
    return false;
}

enum class Try { Fails, Wins, Search };

// What the four on `four` and the block on `block` come to, read with the
// two stones written bare (no line state follows them) so that the ends of
// every window read right: most tries are settled without the trial stones.
Try judgeTry(cellpos four, cellpos block, int side, int depth) {
    const int k = sideIndex(side), defender = otherSide(side);
    const int three = k == 0 ? 3 : -1200, two = k == 0 ? 2 : -800;
    const int fourCell = four.x * BoardSize + four.y;
    board[four.x][four.y] = side;
    board[block.x][block.y] = defender;
    Try result = Try::Fails;
    bool makesThree = false;
    for (int i = 0; i < LiveCount[fourCell] && result == Try::Fails; ++i) {
        const int w = LiveWindows[fourCell][i];
        if (inWindow(w, block) || windowBarred(k, w)) continue;
        // Sum5 does not hold the bare stones yet.
        if (Sum5[w] == three) result = Try::Wins;
        makesThree = makesThree || Sum5[w] == two;
    }
    if (result == Try::Fails && depth + 1 < MaxVcfDepth) {
        if (makesThree) result = Try::Search;
        // An older three helps only if the next call may try it near this four.
        for (std::uint32_t words = ThreeWords[k]; words && result == Try::Fails; words &= words - 1) {
            const int word = std::countr_zero(words);
            for (std::uint64_t bits = ThreeSet[k][word]; bits && result == Try::Fails; bits &= bits - 1) {
                const int w = word * 64 + std::countr_zero(bits);
                if (inWindow(w, four) || inWindow(w, block) || windowBarred(k, w)) continue;
                for (const cellpos& c : Win2Point[w])
                    if (board[c.x][c.y] == 0 && nearCell(c, four.x, four.y)) result = Try::Search;
            }
        }
    }
    board[four.x][four.y] = 0;
    board[block.x][block.y] = 0;
    return result;
}

}  // namespace

bool ruledVcf(int depth, int side, int lastX, int lastY) {
    if (depth > MaxVcfDepth) return false;
    if (depth == 0) restartVcfClockReads();
    if (vcfMustStop()) return false;
    // The attacker's four wins under the rule: his next stone makes it five.
    if (hasFour(side)) return true;

    const int k = sideIndex(side);
    const int defender = otherSide(side);
    const bool local = lastX != -1 && lastY != -1;
    // A cell makes the same four whichever of its threes it is tried from.
    std::uint64_t tried[(CellCount + 63) / 64] = {};

    for (std::uint32_t words = ThreeWords[k]; words; words &= words - 1) {
        const int word = std::countr_zero(words);
        for (std::uint64_t bits = ThreeSet[k][word]; bits; bits &= bits - 1) {
            const int w = word * 64 + std::countr_zero(bits);
            cellpos empty[2];
            threeEmptyCells(w, empty);
            for (int t = 0; t < 2; ++t) {
                const cellpos four = empty[t], block = empty[1 - t];
                const int fourCell = four.x * BoardSize + four.y;
                if (tried[fourCell >> 6] >> (fourCell & 63) & 1) continue;
                if (local && !nearCell(four, lastX, lastY)) continue;
                tried[fourCell >> 6] |= std::uint64_t{1} << (fourCell & 63);
                if (isFoul(four.x, four.y, side)) continue;

                bool wins = false, searched = false;
                board[four.x][four.y] = side;
                // The defender may not stop the five.
                if (isFoul(block.x, block.y, defender)) wins = true;
                board[four.x][four.y] = 0;
                if (!wins && !blockMakesFour(block, k)) {
                    const Try judged = depth + 1 > MaxVcfDepth ? Try::Fails : judgeTry(four, block, side, depth);
                    wins = judged == Try::Wins;
                    if (judged == Try::Search) {
                        setTrialStone<true>(four.x, four.y, side, k);
                        setTrialStone<true>(block.x, block.y, defender, k);
                        wins = ruledVcf(depth + 1, side, four.x, four.y);
                        setTrialStone<true>(block.x, block.y, 0, k);
                        setTrialStone<true>(four.x, four.y, 0, k);
                        searched = true;
                    }
                }
                if (wins) {
                    if (depth == 0) {
                        vcfBestMove = four;
                        HaveVcfBestMove = true;
                    }
                    return true;
                }
                if (searched && timeup) return false;
            }
        }
    }
    return false;
}
