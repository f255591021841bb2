#include "bench/positions.h"

#include <cstdint>
#include <iterator>
#include <vector>

#include "engine/engine.h"

namespace {

struct Stone {
    int x, y, who;
};

// Parses "x,y,who" lines. False on anything else: stray characters, a
// missing field, a number too long to be a coordinate.
bool parseStones(const char* text, std::vector<Stone>& stones, std::string& fault) {
    stones.clear();
    const char* p = text;
    int line = 0;
    while (*p != '\0') {
        ++line;
        int field[3];
        for (int f = 0; f < 3; ++f) {
            if (*p < '0' || *p > '9') {
                fault = "line " + std::to_string(line) + ": expected a number";
                return false;
            }
            int value = 0, digits = 0;
            while (*p >= '0' && *p <= '9') {
                if (++digits > 3) {
                    fault = "line " + std::to_string(line) + ": number too long";
                    return false;
                }
                value = value * 10 + (*p++ - '0');
            }
            field[f] = value;
            const char expected = f < 2 ? ',' : '\n';
            if (*p != expected) {
                fault = "line " + std::to_string(line) + ": malformed";
                return false;
            }
            ++p;
        }
        stones.push_back({field[0], field[1], field[2]});
    }
    return true;
}

constexpr int Directions[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};

// Calls visit(own, other) for every line of five cells through (x, y) that
// lies on the grid, with the number of stones of `who` and of the other side.
template <typename Visit>
void forEachLineThrough(const int (&grid)[BoardSize][BoardSize], int x, int y, int who, Visit visit) {
    for (const auto& d : Directions) {
        for (int start = -4; start <= 0; ++start) {
            int own = 0, other = 0;
            bool onBoard = true;
            for (int l = 0; l < 5 && onBoard; ++l) {
                const int cx = x + (start + l) * d[0], cy = y + (start + l) * d[1];
                if (cx < 0 || cx >= BoardSize || cy < 0 || cy >= BoardSize) {
                    onBoard = false;
                } else if (grid[cx][cy] == who) {
                    ++own;
                } else if (grid[cx][cy] != 0) {
                    ++other;
                }
            }
            if (onBoard) visit(own, other);
        }
    }
}

// Some line of five through (x, y) holds `count` or more stones of `who` and
// none of the other side (count 5: a five).
bool lineOf(const int (&grid)[BoardSize][BoardSize], int x, int y, int who, int count) {
    bool found = false;
    forEachLineThrough(grid, x, y, who, [&](int own, int other) { found = found || (other == 0 && own >= count); });
    return found;
}

// Lines of five holding three stones of `who` and two empty cells.
int threes(const int (&grid)[BoardSize][BoardSize], int who) {
    int count = 0;
    for (const auto& d : Directions)
        for (int x = 0; x < BoardSize; ++x)
            for (int y = 0; y < BoardSize; ++y) {
                if (x + 4 * d[0] >= BoardSize || y + 4 * d[1] >= BoardSize || y + 4 * d[1] < 0) continue;
                int own = 0, empty = 0;
                for (int l = 0; l < 5; ++l) {
                    const int cell = grid[x + l * d[0]][y + l * d[1]];
                    own += cell == who;
                    empty += cell == 0;
                }
                count += own == 3 && empty == 2;
            }
    return count;
}

// ---------------------------------------------------------------- generator

// Middle games, crowded boards and scattered boards come from this small
// generator: a 64-bit LCG with a fixed seed per position, so the suite is the
// same on every machine, with every compiler, in every run. No generated
// position holds a four or a five, and each side has only a few threes.
class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : state_(seed) {}
    int below(int n) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state_ >> 33) % static_cast<std::uint64_t>(n));
    }

private:
    std::uint64_t state_;
};

enum class Layout {
    Clustered,  // each stone within two cells of a recent one, as in a fight
    Scattered,  // twos and threes spread in small groups over the whole board
};

class Generator {
public:
    Generator(std::uint64_t seed, int stones, int maxThrees, Layout layout)
        : rng_(seed), total_(stones), maxThrees_(maxThrees), layout_(layout) {}

    std::string text() {
        for (int i = 0; i < total_; ++i) {
            // Morrow is to move after the last stone, so the last one is the
            // opponent's and the sides alternate back from it.
            const int who = (total_ - 1 - i) % 2 == 0 ? 2 : 1;
            if (!place(who)) break;
        }
        std::string out;
        for (const Stone& s : placed_)
            out += std::to_string(s.x) + "," + std::to_string(s.y) + "," + std::to_string(s.who) + "\n";
        return out;
    }

private:
    // No four, no five, and no more threes than the position allows: a side
    // with threes to spare nearly always has a win by fours, and the search
    // then ends at its first node.
    bool legal(int x, int y, int who) {
        if (x < 0 || x >= BoardSize || y < 0 || y >= BoardSize || grid_[x][y] != 0) return false;
        grid_[x][y] = who;
        bool ok = !lineOf(grid_, x, y, who, 4);
        if (ok) {
            // Only the lines through the new stone can gain a three.
            int added = 0;
            forEachLineThrough(grid_, x, y, who, [&](int own, int other) { added += own == 3 && other == 0; });
            ok = threes_[who] + added <= maxThrees_;
        }
        grid_[x][y] = 0;
        return ok;
    }

    bool clearAround(int x, int y, int radius) const {
        for (int cx = x - radius; cx <= x + radius; ++cx)
            for (int cy = y - radius; cy <= y + radius; ++cy)
                if (cx >= 0 && cx < BoardSize && cy >= 0 && cy < BoardSize && grid_[cx][cy] != 0) return false;
        return true;
    }

    void put(int x, int y, int who) {
        grid_[x][y] = who;
        placed_.push_back({x, y, who});
        // A stone can also break threes of the other side.
        threes_[1] = threes(grid_, 1);
        threes_[2] = threes(grid_, 2);
    }

    bool place(int who) {
        if (placed_.empty()) {
            // Two statements: the order of draws must not be left to the compiler.
            const int y = 8 + rng_.below(4);
            const int x = 8 + rng_.below(4);
            put(x, y, who);
            return true;
        }
        const bool done = layout_ == Layout::Clustered ? placeClustered(who) : placeScattered(who);
        return done || placeAnywhere(who);
    }

    bool placeClustered(int who) {
        const int count = static_cast<int>(placed_.size());
        for (int attempt = 0; attempt < 2000; ++attempt) {
            // Mostly answer the last few moves, as a real fight does.
            const int recent = count < 6 ? count : 6;
            const Stone& anchor =
                rng_.below(4) != 0 ? placed_[count - 1 - rng_.below(recent)] : placed_[rng_.below(count)];
            const int dx = rng_.below(5) - 2, dy = rng_.below(5) - 2;
            if (dx == 0 && dy == 0) continue;
            if (legal(anchor.x + dx, anchor.y + dy, who)) {
                put(anchor.x + dx, anchor.y + dy, who);
                return true;
            }
        }
        return false;
    }

    bool placeScattered(int who) {
        std::vector<int> own;
        for (int i = 0; i < static_cast<int>(placed_.size()); ++i)
            if (placed_[i].who == who) own.push_back(i);
        if (!own.empty() && rng_.below(2) == 0) {
            // Grow one of the side's groups into a two or a three.
            constexpr int Dirs[8][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}, {0, -1}, {-1, 0}, {-1, -1}, {-1, 1}};
            for (int attempt = 0; attempt < 200; ++attempt) {
                const Stone& anchor = placed_[own[rng_.below(static_cast<int>(own.size()))]];
                const auto& d = Dirs[rng_.below(8)];
                const int step = rng_.below(4) == 0 ? 2 : 1;
                const int x = anchor.x + d[0] * step, y = anchor.y + d[1] * step;
                if (legal(x, y, who)) {
                    put(x, y, who);
                    return true;
                }
            }
        }
        // Start a new group away from everything else.
        for (int radius = 2; radius >= 0; --radius) {
            for (int attempt = 0; attempt < 300; ++attempt) {
                const int x = 1 + rng_.below(BoardSize - 2), y = 1 + rng_.below(BoardSize - 2);
                if (clearAround(x, y, radius) && legal(x, y, who)) {
                    put(x, y, who);
                    return true;
                }
            }
        }
        return false;
    }

    bool placeAnywhere(int who) {
        const int offset = rng_.below(CellCount);
        for (int k = 0; k < CellCount; ++k) {
            const int cell = (offset + k) % CellCount;
            const int x = cell / BoardSize, y = cell % BoardSize;
            if (legal(x, y, who)) {
                put(x, y, who);
                return true;
            }
        }
        return false;
    }

    Lcg rng_;
    int total_;
    int maxThrees_;
    Layout layout_;
    int grid_[BoardSize][BoardSize] = {};
    int threes_[3] = {};
    std::vector<Stone> placed_;
};

// ------------------------------------------------------------------ suite

struct Written {
    const char* name;
    const char* board;
};

// Openings: the first few moves, around the centre and near an edge.
constexpr Written Openings[] = {
    {"opening-1", "10,10,2\n"},
    {"opening-2", "9,9,1\n10,10,2\n"},
    {"opening-3", "10,10,2\n9,10,1\n11,11,2\n"},
    {"opening-4", "9,9,1\n10,9,2\n10,10,1\n11,11,2\n"},
    {"opening-5", "10,10,2\n9,9,1\n11,10,2\n12,10,1\n10,11,2\n"},
    {"opening-6", "10,10,1\n11,10,2\n10,11,1\n10,9,2\n9,12,1\n11,12,2\n"},
    {"opening-edge", "1,1,2\n2,2,1\n1,3,2\n"},
    {"opening-off", "3,16,2\n"},
};

// Tactics: each has one thing the engine must see.
constexpr Written Tactics[] = {
    // Morrow wins by fours: (9,6) forces (10,6), then (9,9) makes two fours.
    {"tactic-vcf",
     "5,6,2\n6,6,1\n9,5,2\n7,6,1\n5,13,2\n8,6,1\n10,7,2\n9,7,1\n8,7,2\n9,8,1\n7,9,2\n"
     "6,12,1\n11,10,2\n7,11,1\n8,8,2\n8,10,1\n12,12,2\n"},
    // The opponent's four on column 10 must be blocked at (10,9).
    {"tactic-block-four",
     "10,5,2\n10,4,1\n10,6,2\n9,6,1\n12,6,2\n11,7,1\n10,7,2\n11,5,1\n8,8,2\n9,9,1\n10,8,2\n"},
    // The opponent's open three on row 12.
    {"tactic-open-three",
     "9,12,2\n9,11,1\n8,12,2\n7,10,1\n11,11,2\n12,10,1\n10,12,2\n10,13,1\n8,10,2\n"},
    // Morrow's broken four: (7,10) wins at once.
    {"tactic-complete-four",
     "4,10,2\n5,10,1\n10,10,2\n6,10,1\n7,9,2\n8,10,1\n6,11,2\n9,10,1\n8,9,2\n"},
    // Morrow's (7,8) makes two open threes at once.
    {"tactic-three-three",
     "11,10,2\n5,8,1\n12,12,2\n6,8,1\n10,13,2\n7,6,1\n13,9,2\n7,7,1\n9,4,2\n4,12,1\n12,6,2\n"},
    // The opponent's (13,12) would make two open threes: take it first.
    {"tactic-their-double",
     "10,10,1\n11,12,2\n10,14,1\n12,12,2\n14,9,1\n13,10,2\n9,11,1\n13,11,2\n"},
    // The opponent wins by fours unless Morrow breaks the line first.
    {"tactic-their-vcf",
     "5,6,1\n6,6,2\n9,5,1\n7,6,2\n5,13,1\n8,6,2\n10,7,1\n9,7,2\n8,7,1\n9,8,2\n7,9,1\n"
     "6,12,2\n11,10,1\n7,11,2\n8,8,1\n8,10,2\n"},
    // Morrow has the win by fours of tactic-vcf, but the opponent's four comes first.
    {"tactic-four-first",
     "5,6,2\n6,6,1\n9,5,2\n7,6,1\n5,13,2\n8,6,1\n10,7,2\n9,7,1\n8,7,2\n9,8,1\n7,9,2\n"
     "6,12,1\n15,2,2\n7,11,1\n15,3,2\n8,10,1\n15,4,2\n15,5,1\n15,1,2\n"},
};

struct Generated {
    const char* name;
    std::uint64_t seed;
    int stones;
    int maxThrees;  // per side, counted in windows
    Layout layout;
};

// Random positions are mostly settled at once: the side to move has a win by
// fours or two open threes to make. The seeds below were picked so that the
// search has real work to do: each middle and late position is the first of
// its seeds whose search takes a few thousand nodes, each scattered one the
// heaviest of sixty seeds. The positions depend on the seeds alone, never on
// the engine.
constexpr Generated GeneratedPositions[] = {
    {"middle-15", 1500, 15, 2, Layout::Clustered},
    {"middle-18", 1800, 18, 2, Layout::Clustered},
    {"middle-21", 2100, 21, 2, Layout::Clustered},
    {"middle-24", 2400, 24, 2, Layout::Clustered},
    {"middle-28", 2800, 28, 2, Layout::Clustered},
    {"middle-32", 3204, 32, 2, Layout::Clustered},
    {"middle-36", 3601, 36, 2, Layout::Clustered},
    {"middle-40", 4001, 40, 2, Layout::Clustered},
    {"late-80", 8000, 80, 1, Layout::Clustered},
    {"late-95", 9523, 95, 1, Layout::Clustered},
    {"late-110", 11006, 110, 1, Layout::Clustered},
    {"late-125", 12506, 125, 1, Layout::Clustered},
    {"late-140", 14003, 140, 1, Layout::Clustered},
    {"late-150", 15003, 150, 1, Layout::Clustered},
    {"scattered-20", 20018, 20, 2, Layout::Scattered},
    {"scattered-26", 26011, 26, 2, Layout::Scattered},
    {"scattered-32", 32031, 32, 2, Layout::Scattered},
    {"scattered-38", 38025, 38, 2, Layout::Scattered},
    {"scattered-44", 44049, 44, 2, Layout::Scattered},
    {"scattered-50", 50008, 50, 2, Layout::Scattered},
    {"scattered-57", 57014, 57, 2, Layout::Scattered},
    {"scattered-64", 64036, 64, 2, Layout::Scattered},
};

struct Suite {
    std::vector<std::string> texts;
    std::vector<BenchPosition> list;
};

const Suite& suite() {
    static const Suite built = [] {
        Suite s;
        // Texts first: the list points into them, so they must not move.
        for (const Generated& g : GeneratedPositions) s.texts.push_back(Generator(g.seed, g.stones, g.maxThrees, g.layout).text());
        for (const Written& w : Openings) s.list.push_back({w.name, w.board});
        for (int i = 0; i < static_cast<int>(std::size(GeneratedPositions)); ++i)
            s.list.push_back({GeneratedPositions[i].name, s.texts[i].c_str()});
        for (const Written& w : Tactics) s.list.push_back({w.name, w.board});
        return s;
    }();
    return built;
}

}  // namespace

const BenchPosition* benchPositions() { return suite().list.data(); }

int benchPositionCount() { return static_cast<int>(suite().list.size()); }

std::string checkBenchPosition(const char* text) {
    std::vector<Stone> stones;
    std::string fault;
    if (!parseStones(text, stones, fault)) return fault;

    const int count = static_cast<int>(stones.size());
    int grid[BoardSize][BoardSize] = {};
    int mine = 0, theirs = 0;
    for (int i = 0; i < count; ++i) {
        const Stone& s = stones[i];
        const std::string where = "stone " + std::to_string(i + 1);
        if (s.x >= BoardSize || s.y >= BoardSize) return where + ": off the board";
        if (s.who != 1 && s.who != 2) return where + ": side must be 1 or 2";
        if (grid[s.x][s.y] != 0) return where + ": cell already taken";
        // Morrow moves next, so the opponent played the last stone and the
        // sides alternate back from it.
        const int expected = (count - 1 - i) % 2 == 0 ? 2 : 1;
        if (s.who != expected) return where + ": out of turn";
        grid[s.x][s.y] = s.who;
        ++(s.who == 1 ? mine : theirs);
    }
    if (theirs != mine && theirs != mine + 1) return "stone counts do not leave Morrow to move";
    for (const Stone& s : stones)
        if (lineOf(grid, s.x, s.y, s.who, 5)) return "five on the board";
    return "";
}

bool loadBenchPosition(const char* text) {
    for (auto& column : board)
        for (int& cell : column) cell = 0;
    openPlayingArea(BoardSize, BoardSize);
    init();
    std::vector<Stone> stones;
    std::string fault;
    if (!parseStones(text, stones, fault)) return false;
    for (const Stone& s : stones) {
        if (s.x >= BoardSize || s.y >= BoardSize) {
            for (auto& column : board)
                for (int& cell : column) cell = 0;
            return false;
        }
        board[s.x][s.y] = s.who == 1 ? MyStone : OpponentStone;
    }
    return true;
}
