// morrow-tune: self-play for deep mode, in-process and at a fixed node
// budget, so that every run is the same on every machine.
//
//   morrow-tune match  --a CONFIG --b CONFIG [--openings FILE | --random N] [--nodes N] [--rule R]
//                      [--size S] [--seed S] [--threads T]
//       plays every opening twice, colours swapped, and reports A's score.
//   morrow-tune games  --games N [--nodes N] [--rule R] [--size S] [--seed S] [--threads T]
//                      [--weights FILE] --out FILE
//       plays games from random openings and writes one game a line:
//       "rule size result moves", result 1 black won, 0 white won, 0.5 drawn.
//   morrow-tune fit    --rule R [--start FILE] [--lambda L] --out FILE GAMES...
//       fits the evaluation weights of rule R to the results of the games
//       (logistic regression over the positions of each game); with L < 1
//       each label mixes the result (share L) with the search's value there.
//   morrow-tune agree  --a CONFIG --positions FILE --moves FILE [--nodes N] [--rule R] [--threads T]
//       how often the engine plays the moves of FILE (one "name x,y" a
//       line, as another brain chose them) on positions written as
//       tools/dump-positions writes them.
//   morrow-tune emit   --out deep/eval_weights.cpp FREESTYLE STANDARD RENJU CARO
//       writes the generated source from four weight files.
//
// A CONFIG is a list of knob=value pairs separated by commas (the search
// knobs of deep/search.h, and weights=FILE), or "default".

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "deep/engine.h"

namespace {

using namespace deep;

constexpr std::size_t TableBytes = std::size_t{16} << 20;

// ------------------------------------------------------------------ weights

// A weights file: numbers separated by blanks, '#' to the end of a line a
// comment. Either the shape form (ShapeWeights, in declaration order: 110
// numbers) or the kind form (RuleWeights: the mover's and the waiter's
// value of every kind of cell, black then white, then the two tempos).
constexpr int ShapeFormNumbers = 4 * ShapeKinds + 4 * ThreatKinds + 2;
constexpr int KindFormNumbers = 4 * ComboKinds + 2;

bool readWeights(const std::string& path, Rule rule, RuleWeights& w) {
    std::ifstream in(path);
    if (!in) return false;
    std::vector<int> values;
    for (std::string token; in >> token;) {
        if (token[0] == '#') {
            std::getline(in, token);
            continue;
        }
        values.push_back(std::atoi(token.c_str()));
    }
    std::size_t at = 0;
    const auto fill = [&](std::int16_t* field, int count) {
        for (int i = 0; i < count; ++i) field[i] = static_cast<std::int16_t>(values[at++]);
    };
    if (values.size() == ShapeFormNumbers) {
        ShapeWeights shape{};
        fill(&shape.moverShape[0][0], 2 * ShapeKinds);
        fill(&shape.moverThreat[0][0], 2 * ThreatKinds);
        fill(&shape.waiterShape[0][0], 2 * ShapeKinds);
        fill(&shape.waiterThreat[0][0], 2 * ThreatKinds);
        fill(shape.tempo, 2);
        w = ruleWeightsOf(shape, rule);
        return true;
    }
    if (values.size() != KindFormNumbers) return false;
    fill(&w.cells.mover[0][0], 2 * ComboKinds);
    fill(&w.cells.waiter[0][0], 2 * ComboKinds);
    fill(w.tempo, 2);
    return true;
}

// The kind form; as a C++ initialiser when `asSource`.
void writeWeights(std::FILE* out, const RuleWeights& w, bool asSource) {
    const auto row = [&](const char* name, const std::int16_t* v, int n) {
        if (asSource) std::fprintf(out, "        // %s\n        {", name);
        else std::fprintf(out, "# %s\n", name);
        for (int i = 0; i < n; ++i) {
            if (i > 0 && i % 24 == 0) std::fprintf(out, asSource ? ",\n         " : "\n");
            else if (i > 0) std::fprintf(out, asSource ? ", " : " ");
            std::fprintf(out, "%d", v[i]);
        }
        std::fprintf(out, "%s\n", asSource ? "}," : "");
    };
    if (asSource) std::fprintf(out, "    {{{\n");
    row("side to move, black", w.cells.mover[0], ComboKinds);
    row("side to move, white", w.cells.mover[1], ComboKinds);
    if (asSource) std::fprintf(out, "     },\n     {\n");
    row("side that waits, black", w.cells.waiter[0], ComboKinds);
    row("side that waits, white", w.cells.waiter[1], ComboKinds);
    if (asSource) std::fprintf(out, "     }},\n");
    row("tempo, black and white", w.tempo, 2);
    if (asSource) std::fprintf(out, "    },\n");
}

// ------------------------------------------------------------------ configs

struct Config {
    Search::Knobs knobs;
    std::string weightsFile;
    bool ownWeights = false;
    RuleWeights weights{};

    bool loadWeights(Rule rule) {
        if (weightsFile.empty()) return true;
        ownWeights = readWeights(weightsFile, rule, weights);
        if (!ownWeights) std::fprintf(stderr, "cannot read weights %s\n", weightsFile.c_str());
        return ownWeights;
    }
};

bool parseConfig(const std::string& text, Config& c) {
    if (text == "default" || text.empty()) return true;
    std::stringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
        const bool on = value != "0";
        if (key == "reductions") c.knobs.reductions = on;
        else if (key == "futility") c.knobs.futility = on;
        else if (key == "razoring") c.knobs.razoring = on;
        else if (key == "leafVcf") c.knobs.leafVcf = on;
        else if (key == "rootVct") c.knobs.rootVct = on;
        else if (key == "nullMove") c.knobs.nullMove = on;
        else if (key == "moveCountPruning") c.knobs.moveCountPruning = on;
        else if (key == "iterativeReduction") c.knobs.iterativeReduction = on;
        else if (key == "replyVct") c.knobs.replyVct = on;
        else if (key == "doubleThreeWin") c.knobs.doubleThreeWin = on;
        else if (key == "threatExtension") c.knobs.threatExtension = on;
        else if (key == "futilityDepth") c.knobs.futilityDepth = std::atoi(value.c_str());
        else if (key == "futilityMargin") c.knobs.futilityMargin = std::atoi(value.c_str());
        else if (key == "moveFutilityDepth") c.knobs.moveFutilityDepth = std::atoi(value.c_str());
        else if (key == "moveFutilityMargin") c.knobs.moveFutilityMargin = std::atoi(value.c_str());
        else if (key == "moveCountDepth") c.knobs.moveCountDepth = std::atoi(value.c_str());
        else if (key == "moveCountBase") c.knobs.moveCountBase = std::atoi(value.c_str());
        else if (key == "reductionDivisor") c.knobs.reductionDivisor = std::atoi(value.c_str());
        else if (key == "weights") c.weightsFile = value;
        else {
            return false;
        }
    }
    return true;
}

// ------------------------------------------------------------------ games

using Opening = std::vector<std::pair<int, int>>;  // cells, black first

struct Game {
    Opening moves;
    std::vector<int> values;  // the mover's search value before each move; NoValue for the opening and forced moves
    double result = 0.5;      // for black
};
constexpr int NoValue = 1 << 30;

// Random openings near the middle: `stones` stones, no three of a side in
// a row, the way balanced openings are drawn.
Opening randomOpening(std::mt19937& rng, int size, int stones) {
    Opening cells;
    const int middle = size / 2;
    while (static_cast<int>(cells.size()) < stones) {
        const int x = middle + static_cast<int>(rng() % 7) - 3, y = middle + static_cast<int>(rng() % 7) - 3;
        bool taken = false;
        for (const auto& c : cells) taken = taken || (c.first == x && c.second == y);
        if (taken) continue;
        // No three in a row for the side laying it.
        const int side = static_cast<int>(cells.size()) % 2;
        bool three = false;
        const int dirs[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
        for (const auto& d : dirs) {
            int run = 1;
            for (int s = -1; s <= 1; s += 2)
                for (int k = 1; k < 3; ++k) {
                    bool own = false;
                    for (std::size_t i = side; i < cells.size(); i += 2)
                        own = own || (cells[i].first == x + s * k * d[0] && cells[i].second == y + s * k * d[1]);
                    if (!own) break;
                    ++run;
                }
            three = three || run >= 3;
        }
        if (!three) cells.push_back({x, y});
    }
    return cells;
}

// Openings in c-gomoku-cli's offset format: "x,y, x,y, ..." from the middle.
std::vector<Opening> readOpenings(const std::string& path, int size) {
    std::vector<Opening> openings;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        Opening o;
        std::stringstream cells(line);
        for (std::string token; std::getline(cells, token, ',');) {
            std::string second;
            if (!std::getline(cells, second, ',')) break;
            o.push_back({size / 2 + std::atoi(token.c_str()), size / 2 + std::atoi(second.c_str())});
        }
        if (!o.empty()) openings.push_back(o);
    }
    return openings;
}

struct Player {
    std::unique_ptr<Engine> engine;
    Config config;
};

// Plays a game from the opening; players[0] is black.
Game playGame(Player* players[2], const Opening& opening, Rule rule, int size, long long nodes) {
    Game game;
    game.moves = opening;
    game.values.assign(opening.size(), NoValue);
    const CellWeights& cellWeights = cellWeightsFor(rule);
    auto pos = std::make_unique<Position>();
    pos->reset(shapeTableFor(rule), cellWeights, size, size);
    for (const auto& m : opening) pos->play(slotOf(m.first, m.second));
    for (int i = 0; i < 2; ++i) players[i]->engine->newGame();
    const int maxPlies = size * size;
    while (static_cast<int>(game.moves.size()) < maxPlies) {
        const int side = pos->sideToMove();
        TurnPosition turn;
        turn.width = turn.height = size;
        turn.rule = rule;
        turn.ownSide = side;
        for (std::size_t i = 0; i < game.moves.size(); ++i)
            turn.cell[game.moves[i].first][game.moves[i].second] = static_cast<std::uint8_t>(static_cast<int>(i % 2) == side ? 1 : 2);
        SearchLimits limits;
        limits.nodes = nodes;
        Player& player = *players[side];
        player.engine->knobs() = player.config.knobs;
        const Engine::Move m = player.engine->think(turn, limits);
        if (m.x < 0) break;
        const int slot = slotOf(m.x, m.y);
        if (!pos->isEmpty(slot) || !pos->mayPlay(slot, side)) {
            game.result = side == 0 ? 0 : 1;  // an illegal move loses
            break;
        }
        const bool five = pos->threat(slot, side) == MakesFive;
        pos->play(slot);
        game.moves.push_back({m.x, m.y});
        const Search& search = player.engine->search();
        game.values.push_back(search.rootValueKnown() ? search.rootValue() : NoValue);
        if (five) {
            game.result = side == 0 ? 1 : 0;
            break;
        }
    }
    return game;
}

// Runs `count` jobs over `threads` threads; each thread gets players of its own.
template <typename Job>
void runParallel(int count, int threads, Job job) {
    std::atomic<int> next{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            for (int i; (i = next.fetch_add(1)) < count;) job(t, i);
        });
    for (auto& th : pool) th.join();
}

std::unique_ptr<Engine> newEngine(const Config& config) {
    auto e = std::make_unique<Engine>();
    e->setTableBytes(TableBytes);
    if (config.ownWeights) e->useWeights(config.weights);
    return e;
}

// ------------------------------------------------------------------ options

struct Options {
    std::vector<std::string> rest;
    std::string get(const char* name, const char* fallback) const {
        for (std::size_t i = 0; i + 1 < rest.size(); ++i)
            if (rest[i] == name) return rest[i + 1];
        return fallback;
    }
    std::vector<std::string> positional() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i].rfind("--", 0) == 0) {
                ++i;
                continue;
            }
            out.push_back(rest[i]);
        }
        return out;
    }
};

Rule ruleOf(const std::string& text) {
    const int r = std::atoi(text.c_str());
    return r == 1 ? Rule::Standard : r == 4 ? Rule::Renju : r == 8 ? Rule::Caro : Rule::Freestyle;
}

int ruleNumber(Rule rule) {
    switch (rule) {
    case Rule::Standard: return 1;
    case Rule::Renju: return 4;
    case Rule::Caro: return 8;
    case Rule::Freestyle: break;
    }
    return 0;
}

int match(const Options& o) {
    Config a, b;
    if (!parseConfig(o.get("--a", "default"), a) || !parseConfig(o.get("--b", "default"), b)) {
        std::fprintf(stderr, "bad config\n");
        return 2;
    }
    const Rule rule = ruleOf(o.get("--rule", "0"));
    if (!a.loadWeights(rule) || !b.loadWeights(rule)) return 2;
    const int size = std::atoi(o.get("--size", "15").c_str());
    const long long nodes = std::atoll(o.get("--nodes", "20000").c_str());
    const int threads = std::atoi(o.get("--threads", "2").c_str());
    std::vector<Opening> openings;
    const std::string file = o.get("--openings", "");
    if (!file.empty()) {
        openings = readOpenings(file, size);
    } else {
        std::mt19937 rng(static_cast<unsigned>(std::atoi(o.get("--seed", "1").c_str())));
        const int n = std::atoi(o.get("--random", "50").c_str());
        for (int i = 0; i < n; ++i) openings.push_back(randomOpening(rng, size, 3 + static_cast<int>(rng() % 3)));
    }

    std::vector<std::vector<Player>> perThread(static_cast<std::size_t>(threads));
    for (auto& players : perThread) {
        players.resize(2);
        players[0] = {newEngine(a), a};
        players[1] = {newEngine(b), b};
    }
    std::mutex lock;
    double score = 0;
    int wins = 0, losses = 0, draws = 0, done = 0;
    long long plies = 0;
    const int games = static_cast<int>(openings.size()) * 2;
    runParallel(games, threads, [&](int t, int i) {
        auto& players = perThread[static_cast<std::size_t>(t)];
        const bool aBlack = i % 2 == 0;
        Player* order[2] = {aBlack ? &players[0] : &players[1], aBlack ? &players[1] : &players[0]};
        const Game g = playGame(order, openings[static_cast<std::size_t>(i / 2)], rule, size, nodes);
        const double forA = aBlack ? g.result : 1 - g.result;
        std::lock_guard<std::mutex> guard(lock);
        score += forA;
        wins += forA == 1;
        losses += forA == 0;
        draws += forA == 0.5;
        plies += static_cast<long long>(g.moves.size());
        ++done;
        if (done % 20 == 0) std::fprintf(stderr, "  %d/%d: %+d -%d =%d\n", done, games, wins, losses, draws);
    });
    const double p = score / games;
    const double elo = p <= 0 ? -999 : p >= 1 ? 999 : -400 * std::log10(1 / p - 1);
    std::printf("games=%d A wins=%d losses=%d draws=%d score=%.3f elo=%+.0f mean plies=%.1f\n", games, wins, losses, draws,
                p, elo, static_cast<double>(plies) / games);
    return 0;
}

int games(const Options& o) {
    Config config;
    const std::string weightsFile = o.get("--weights", "");
    const Rule rule = ruleOf(o.get("--rule", "0"));
    config.weightsFile = weightsFile;
    if (!config.loadWeights(rule)) return 2;
    const int size = std::atoi(o.get("--size", "15").c_str());
    const long long nodes = std::atoll(o.get("--nodes", "20000").c_str());
    const int threads = std::atoi(o.get("--threads", "2").c_str());
    const int count = std::atoi(o.get("--games", "100").c_str());
    const std::string out = o.get("--out", "");
    std::FILE* file = out.empty() ? stdout : std::fopen(out.c_str(), "w");
    if (!file) return 2;
    std::mt19937 rng(static_cast<unsigned>(std::atoi(o.get("--seed", "1").c_str())));
    std::vector<Opening> openings;
    for (int i = 0; i < count; ++i) openings.push_back(randomOpening(rng, size, 2 + static_cast<int>(rng() % 4)));

    std::vector<std::vector<Player>> perThread(static_cast<std::size_t>(threads));
    for (auto& players : perThread) {
        players.resize(2);
        players[0] = {newEngine(config), config};
        players[1] = {newEngine(config), config};
    }
    // Games are written in their order as soon as all before them are done,
    // so that a run cut short keeps what it played, and the file is the same
    // whatever the threads did.
    std::vector<Game> results(static_cast<std::size_t>(count));
    std::vector<bool> finished(static_cast<std::size_t>(count), false);
    std::size_t written = 0;
    std::mutex lock;
    runParallel(count, threads, [&](int t, int i) {
        auto& players = perThread[static_cast<std::size_t>(t)];
        Player* order[2] = {&players[0], &players[1]};
        Game g = playGame(order, openings[static_cast<std::size_t>(i)], rule, size, nodes);
        std::lock_guard<std::mutex> guard(lock);
        results[static_cast<std::size_t>(i)] = std::move(g);
        finished[static_cast<std::size_t>(i)] = true;
        for (; written < finished.size() && finished[written]; ++written) {
            const Game& done = results[written];
            std::fprintf(file, "%d %d %g", ruleNumber(rule), size, done.result);
            for (std::size_t k = 0; k < done.moves.size(); ++k) {
                std::fprintf(file, " %d,%d", done.moves[k].first, done.moves[k].second);
                if (done.values[k] != NoValue) std::fprintf(file, ":%d", done.values[k]);
            }
            std::fprintf(file, "\n");
            results[written] = Game{};
        }
        std::fflush(file);
        if (written % 100 == 0 && written > 0) std::fprintf(stderr, "  %zu/%d games\n", written, count);
    });
    if (file != stdout) std::fclose(file);
    return 0;
}

// ------------------------------------------------------------------ fitting

// The features of the evaluation, as the side to move sees them: how many
// empty cells of each kind there are for the side to move (counted +1) and
// for the side that waits (-1), by colour; and the tempo of each colour.
constexpr int ColourFeatures = 2 * ComboKinds;
constexpr int FeatureCount = 2 * ColourFeatures + 2;

int moverFeature(int colour, int kind) { return colour * ColourFeatures + kind; }
int waiterFeature(int colour, int kind) { return colour * ColourFeatures + ComboKinds + kind; }
int tempoFeature(int colour) { return 2 * ColourFeatures + colour; }

struct Feature {
    std::uint16_t index;
    std::int16_t count;
};

void featuresOf(const Position& pos, std::vector<Feature>& out) {
    static thread_local std::vector<int> counts(FeatureCount);
    std::fill(counts.begin(), counts.end(), 0);
    const int me = pos.sideToMove(), opp = me ^ 1;
    const ShapeTable& table = pos.table();
    for (int x = 0; x < pos.width(); ++x)
        for (int y = 0; y < pos.height(); ++y) {
            const int s = slotOf(x, y);
            if (!pos.isEmpty(s)) continue;
            ++counts[static_cast<std::size_t>(moverFeature(me, table.comboKind(pos.shapes(s, me))))];
            --counts[static_cast<std::size_t>(waiterFeature(opp, table.comboKind(pos.shapes(s, opp))))];
        }
    counts[static_cast<std::size_t>(tempoFeature(me))] = 1;
    for (int k = 0; k < FeatureCount; ++k)
        if (counts[static_cast<std::size_t>(k)])
            out.push_back({static_cast<std::uint16_t>(k), static_cast<std::int16_t>(counts[static_cast<std::size_t>(k)])});
}

// Positions the evaluation is asked about: nothing decided at once.
bool quiet(Position& pos) {
    const int me = pos.sideToMove(), opp = me ^ 1;
    int cells[1];
    if (fiveCellsOf(pos, me, cells, 1) || fiveCellsOf(pos, opp, cells, 1)) return false;
    return !hasOpenFourThreat(pos, me);
}

// Evaluation units per logit: an evaluation of Scale is a 73 % chance.
constexpr double Scale = 200;

int fit(const Options& o) {
    const Rule rule = ruleOf(o.get("--rule", "0"));
    RuleWeights start = FittedWeights[static_cast<int>(rule)];
    const std::string startFile = o.get("--start", "");
    if (!startFile.empty() && !readWeights(startFile, rule, start)) {
        std::fprintf(stderr, "cannot read %s\n", startFile.c_str());
        return 2;
    }
    const bool byColour = rule == Rule::Renju;
    // The share of the game's result in each label; the rest is the search's value.
    const double lambda = std::atof(o.get("--lambda", "1").c_str());

    std::vector<Feature> features;
    std::vector<std::size_t> firstFeature;
    std::vector<float> labels;
    auto pos = std::make_unique<Position>();
    int gameCount = 0;
    // Every holdout-th game is kept apart: its loss tells how well the fit
    // carries over to games it has not seen.
    const int holdout = std::atoi(o.get("--holdout", "0").c_str());
    std::vector<bool> heldOut;
    for (const std::string& path : o.positional()) {
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {
            std::stringstream words(line);
            int r, size;
            double result;
            if (!(words >> r >> size >> result) || ruleOf(std::to_string(r)) != rule) continue;
            ++gameCount;
            pos->reset(shapeTableFor(rule), cellWeightsFor(rule), size, size);
            std::vector<int> slots, values;
            for (std::string m; words >> m;) {
                const std::size_t comma = m.find(','), colon = m.find(':');
                slots.push_back(slotOf(std::atoi(m.c_str()), std::atoi(m.c_str() + comma + 1)));
                values.push_back(colon == std::string::npos ? NoValue : std::atoi(m.c_str() + colon + 1));
            }
            for (std::size_t i = 0; i < slots.size(); ++i) {
                // Past the opening, while the game is still open. The label
                // mixes the game's result with the search's own verdict.
                if (i >= 4 && quiet(*pos)) {
                    heldOut.push_back(holdout > 0 && gameCount % holdout == 0);
                    firstFeature.push_back(features.size());
                    featuresOf(*pos, features);
                    const double outcome = pos->sideToMove() == 0 ? result : 1 - result;
                    double label = outcome;
                    if (values[i] != NoValue) {
                        const double v = std::clamp(values[i], -3000, 3000) / Scale;
                        label = lambda * outcome + (1 - lambda) / (1 + std::exp(-v));
                    }
                    labels.push_back(static_cast<float>(label));
                }
                pos->play(slots[i]);
            }
        }
    }
    firstFeature.push_back(features.size());
    const std::size_t n = labels.size();
    std::fprintf(stderr, "fit: %d games, %zu positions\n", gameCount, n);
    if (n == 0) return 2;

    // Weights in logits. Shared between the colours unless the rule tells
    // them apart; each is drawn towards where it started, so that kinds
    // rarely seen keep their value.
    const auto tie = [&](int k) { return byColour || k >= 2 * ColourFeatures ? k : k % ColourFeatures; };
    std::vector<double> w(FeatureCount), prior(FeatureCount);
    for (int colour = 0; colour < 2; ++colour) {
        for (int kind = 0; kind < ComboKinds; ++kind) {
            prior[static_cast<std::size_t>(moverFeature(colour, kind))] = start.cells.mover[colour][kind] / Scale;
            prior[static_cast<std::size_t>(waiterFeature(colour, kind))] = start.cells.waiter[colour][kind] / Scale;
        }
        prior[static_cast<std::size_t>(tempoFeature(colour))] = start.tempo[colour] / Scale;
    }
    w = prior;
    const double l2 = std::atof(o.get("--l2", "3e-4").c_str());
    const int iterations = std::atoi(o.get("--iterations", "600").c_str());
    std::vector<double> m(FeatureCount, 0), v(FeatureCount, 0), grad(FeatureCount);
    const double rate = std::atof(o.get("--rate", "0.005").c_str()), beta1 = 0.9, beta2 = 0.999;
    for (int it = 1; it <= iterations; ++it) {
        std::fill(grad.begin(), grad.end(), 0.0);
        double loss = 0, heldLoss = 0;
        std::size_t trained = 0;
        for (std::size_t i = 0; i < n; ++i) {
            double z = 0;
            for (std::size_t f = firstFeature[i]; f < firstFeature[i + 1]; ++f)
                z += w[static_cast<std::size_t>(tie(features[f].index))] * features[f].count;
            const double p = 1 / (1 + std::exp(-z));
            const double y = labels[i];
            const double l = -(y * std::log(std::max(p, 1e-12)) + (1 - y) * std::log(std::max(1 - p, 1e-12)));
            if (heldOut[i]) {
                heldLoss += l;
                continue;
            }
            loss += l;
            ++trained;
            const double e = p - y;
            for (std::size_t f = firstFeature[i]; f < firstFeature[i + 1]; ++f)
                grad[static_cast<std::size_t>(tie(features[f].index))] += e * features[f].count;
        }
        for (int k = 0; k < FeatureCount; ++k) {
            const std::size_t kk = static_cast<std::size_t>(k);
            if (tie(k) != k) continue;
            const double g = grad[kk] / static_cast<double>(trained) + l2 * (w[kk] - prior[kk]);
            m[kk] = beta1 * m[kk] + (1 - beta1) * g;
            v[kk] = beta2 * v[kk] + (1 - beta2) * g * g;
            const double mh = m[kk] / (1 - std::pow(beta1, it)), vh = v[kk] / (1 - std::pow(beta2, it));
            w[kk] -= rate * mh / (std::sqrt(vh) + 1e-8);
        }
        if (it % 100 == 0 || it == 1)
            std::fprintf(stderr, "  iteration %d loss %.5f held out %.5f\n", it, loss / static_cast<double>(trained),
                         n > trained ? heldLoss / static_cast<double>(n - trained) : 0.0);
    }

    RuleWeights fitted = start;
    const auto to16 = [](double x) { return static_cast<std::int16_t>(std::lround(std::clamp(x * Scale, -30000.0, 30000.0))); };
    for (int colour = 0; colour < 2; ++colour) {
        for (int kind = 0; kind < ComboKinds; ++kind) {
            fitted.cells.mover[colour][kind] = to16(w[static_cast<std::size_t>(tie(moverFeature(colour, kind)))]);
            fitted.cells.waiter[colour][kind] = to16(w[static_cast<std::size_t>(tie(waiterFeature(colour, kind)))]);
        }
        fitted.tempo[colour] = to16(w[static_cast<std::size_t>(tempoFeature(colour))]);
    }
    const std::string out = o.get("--out", "");
    std::FILE* file = out.empty() ? stdout : std::fopen(out.c_str(), "w");
    if (!file) return 2;
    std::fprintf(file, "# deep-mode evaluation weights, rule %d: fitted by morrow-tune fit to %d games, %zu positions\n",
                 ruleNumber(rule), gameCount, n);
    writeWeights(file, fitted, false);
    if (file != stdout) std::fclose(file);
    return 0;
}

int agree(const Options& o) {
    Config config;
    if (!parseConfig(o.get("--a", "default"), config)) return 2;
    const Rule rule = ruleOf(o.get("--rule", "0"));
    if (!config.loadWeights(rule)) return 2;
    const long long nodes = std::atoll(o.get("--nodes", "50000").c_str());
    const int threads = std::atoi(o.get("--threads", "2").c_str());
    struct Probe {
        std::string name;
        TurnPosition turn;
        int x = -1, y = -1;
    };
    std::vector<Probe> probes;
    {
        std::ifstream in(o.get("--positions", ""));
        Probe p;
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("# ", 0) == 0) {
                p = Probe{};
                p.name = line.substr(2);
                p.turn.rule = rule;
            } else if (line == "DONE") {
                int own = 0, other = 0;
                for (auto& column : p.turn.cell)
                    for (auto c : column) own += c == 1, other += c == 2;
                p.turn.ownSide = own == other ? 0 : 1;
                probes.push_back(p);
            } else {
                int x, y, who;
                if (std::sscanf(line.c_str(), "%d,%d,%d", &x, &y, &who) == 3) p.turn.cell[x][y] = static_cast<std::uint8_t>(who);
            }
        }
    }
    {
        std::ifstream in(o.get("--moves", ""));
        std::size_t i = 0;
        for (std::string name, move; in >> name >> move && i < probes.size(); ++i)
            std::sscanf(move.c_str(), "%d,%d", &probes[i].x, &probes[i].y);
    }
    std::vector<std::unique_ptr<Engine>> engines;
    for (int t = 0; t < threads; ++t) engines.push_back(newEngine(config));
    std::atomic<int> same{0};
    runParallel(static_cast<int>(probes.size()), threads, [&](int t, int i) {
        Engine& e = *engines[static_cast<std::size_t>(t)];
        e.newGame();
        e.knobs() = config.knobs;
        SearchLimits limits;
        limits.nodes = nodes;
        const Engine::Move m = e.think(probes[static_cast<std::size_t>(i)].turn, limits);
        if (m.x == probes[static_cast<std::size_t>(i)].x && m.y == probes[static_cast<std::size_t>(i)].y) ++same;
    });
    std::printf("agree %d of %zu (%.1f %%)\n", same.load(), probes.size(), 100.0 * same.load() / static_cast<double>(probes.size()));
    return 0;
}

int emit(const Options& o) {
    const std::vector<std::string> files = o.positional();
    if (files.size() != 4) {
        std::fprintf(stderr, "emit needs four weight files: free-style, exact five, renju, caro\n");
        return 2;
    }
    const Rule rules[4] = {Rule::Freestyle, Rule::Standard, Rule::Renju, Rule::Caro};
    static RuleWeights w[4];
    for (int r = 0; r < 4; ++r)
        if (!readWeights(files[static_cast<std::size_t>(r)], rules[r], w[r])) {
            std::fprintf(stderr, "cannot read %s\n", files[static_cast<std::size_t>(r)].c_str());
            return 2;
        }
    const std::string out = o.get("--out", "");
    std::FILE* file = out.empty() ? stdout : std::fopen(out.c_str(), "w");
    if (!file) return 2;
    std::fprintf(file,
                 "// Generated by morrow-tune emit: deep mode's evaluation weights, one table\n"
                 "// per rule, as morrow-tune fit wrote them (tools/fit-eval.sh fits and emits\n"
                 "// all four). Do not edit by hand.\n"
                 "#include \"deep/evaluation.h\"\n\nnamespace deep {\n\nconst RuleWeights FittedWeights[4] = {\n");
    const char* names[4] = {"free-style", "exact five", "renju", "caro"};
    for (int r = 0; r < 4; ++r) {
        std::fprintf(file, "    // %s\n", names[r]);
        writeWeights(file, w[r], true);
    }
    std::fprintf(file, "};\n\n}  // namespace deep\n");
    if (file != stdout) std::fclose(file);
    return 0;
}

// The compiled-in weights of a rule, in the kind form.
int dump(const Options& o) {
    const Rule rule = ruleOf(o.get("--rule", "0"));
    std::printf("# deep-mode evaluation weights, rule %d\n", ruleNumber(rule));
    writeWeights(stdout, FittedWeights[static_cast<int>(rule)], false);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: morrow-tune match|games|fit|emit|dump [options]\n");
        return 2;
    }
    Options o;
    for (int i = 2; i < argc; ++i) o.rest.push_back(argv[i]);
    const std::string command = argv[1];
    if (command == "match") return match(o);
    if (command == "games") return games(o);
    if (command == "fit") return fit(o);
    if (command == "emit") return emit(o);
    if (command == "agree") return agree(o);
    if (command == "dump") return dump(o);
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}
