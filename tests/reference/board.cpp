#include "engine.h"

namespace reference {

int board[BoardSize][BoardSize];
int Win[2][FiveWindowCount];
cellpos Win2Point[FiveWindowCount][5];
int Point2Win[BoardSize][BoardSize][MaxWindowsPerCell];
int PointCount[BoardSize][BoardSize];
cellpos Six2Point[SixWindowCount][6];
std::uint64_t randomkey[BoardSize][BoardSize][2];
std::uint64_t nowhash;

bool Closed[BoardSize][BoardSize];
bool DeadFive[FiveWindowCount];
bool DeadSix[SixWindowCount];

namespace {

// The four line directions in window-number order, with the start cells
// that keep a window of `length` cells on the grid.
struct Family {
    int dx, dy;
};
constexpr Family Families[4] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};

template <typename Visit>
void forEachWindow(int length, Visit visit) {
    const int span = length - 1;
    for (const Family& f : Families) {
        const int xEnd = f.dx == 0 ? BoardSize : BoardSize - span;
        const int yBegin = f.dy < 0 ? span : 0;
        const int yEnd = f.dy > 0 ? BoardSize - span : BoardSize;
        for (int x0 = 0; x0 < xEnd; ++x0)
            for (int y0 = yBegin; y0 < yEnd; ++y0) visit(x0, y0, f.dx, f.dy);
    }
}

}  // namespace

void init() {
    for (auto& column : PointCount)
        for (int& count : column) count = 0;
    for (auto& side : Win)
        for (int& count : side) count = 0;
    for (auto& column : Point2Win)
        for (auto& cell : column)
            for (int& slot : cell) slot = -1;

    int w = 0;
    forEachWindow(5, [&w](int x0, int y0, int dx, int dy) {
        bool dead = false;
        for (int l = 0; l < 5; ++l) {
            const int cx = x0 + l * dx, cy = y0 + l * dy;
            Win2Point[w][l] = {cx, cy};
            Point2Win[cx][cy][PointCount[cx][cy]++] = w;
            dead = dead || Closed[cx][cy];
        }
        DeadFive[w] = dead;
        ++w;
    });

    int s = 0;
    forEachWindow(6, [&s](int x0, int y0, int dx, int dy) {
        bool dead = false;
        for (int m = 0; m < 6; ++m) {
            const int cx = x0 + m * dx, cy = y0 + m * dy;
            Six2Point[s][m] = {cx, cy};
            dead = dead || Closed[cx][cy];
        }
        DeadSix[s] = dead;
        ++s;
    });
}

void MakeMove(int x, int y, int side) {
    board[x][y] = side;
    const int k = sideIndex(side);
    nowhash ^= randomkey[x][y][k];
    for (int slot = 0; slot < MaxWindowsPerCell; ++slot) {
        const int w = Point2Win[x][y][slot];
        if (w == -1) break;
        ++Win[k][w];
    }
}

void unMakeMove(int x, int y, int side) {
    board[x][y] = 0;
    const int k = sideIndex(side);
    nowhash ^= randomkey[x][y][k];
    for (int slot = 0; slot < MaxWindowsPerCell; ++slot) {
        const int w = Point2Win[x][y][slot];
        if (w == -1) break;
        --Win[k][w];
    }
}

bool check_over() {
    for (int k = 0; k < 2; ++k)
        for (int w = 0; w < FiveWindowCount; ++w)
            if (Win[k][w] == 5) return true;
    return false;
}

void openPlayingArea(int width, int height) {
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y) Closed[x][y] = x >= width || y >= height;
}

void setCellClosed(int x, int y, bool closed) { Closed[x][y] = closed; }

}  // namespace reference
