#include <algorithm>
#include <functional>

#include "engine.h"

namespace {

constexpr int AttackFourWeight = 900;
constexpr int DefenceFourWeight = 500;

// Sorting value * 512 + cell index, highest first, gives value descending
// and, among equal values, cell index descending: the merge sort's order.
constexpr int IndexBits = 9;

inline int cellValue(int own, int opp, int x, int y) {
    const int attack = LineTotal[own][x][y] + AttackFourWeight * FourTotal[own][x][y];
    const int defence = LineTotal[opp][x][y] + DefenceFourWeight * FourTotal[opp][x][y];
    return attack > defence ? attack : defence;
}

void sortKeys(int* keys, int count) { std::sort(keys, keys + count, std::greater<int>()); }

void writeList(const int* keys, int count, onemove* list) {
    for (int i = 0; i < count; ++i) {
        const int cell = keys[i] & ((1 << IndexBits) - 1);
        list[i] = {cell / BoardSize, cell % BoardSize, keys[i] >> IndexBits};
    }
}

}  // namespace

void SortMoves(int side, onemove* list) {
    const int own = sideIndex(side), opp = 1 - own;
    int keys[CellCount];
    int scored = 0;
    for (int cell = CellCount - 1; cell >= 0; --cell) {
        const int value = cellValue(own, opp, cell / BoardSize, cell % BoardSize);
        if (value > 0) keys[scored++] = value << IndexBits | cell;
    }
    sortKeys(keys, scored);
    // Cells scoring 0 follow in descending cell order.
    int count = scored;
    for (int cell = CellCount - 1; cell >= 0; --cell)
        if (cellValue(own, opp, cell / BoardSize, cell % BoardSize) == 0) keys[count++] = cell;
    writeList(keys, count, list);
}

int SortCandidates(int side, onemove* list) {
    const int own = sideIndex(side), opp = 1 - own;
    int keys[CellCount];
    int count = 0;
    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            if (board[x][y] == 0 && NearCount[x][y] > 0 && !Closed[x][y])
                keys[count++] = cellValue(own, opp, x, y) << IndexBits | (x * BoardSize + y);
    sortKeys(keys, count);
    writeList(keys, count, list);
    return count;
}

void mergeSort(onemove* list, int low, int high) {
    if (low >= high) return;
    const int mid = (low + high) / 2;
    mergeSort(list, low, mid);
    mergeSort(list, mid + 1, high);
    merge(list, low, mid, high);
}

// On equal values the right-hand entry goes first, so equal values end in
// the reverse of their order before the sort.
void merge(onemove* list, int low, int mid, int high) {
    onemove buffer[CellCount];
    int i = low, j = mid + 1, out = 0;
    while (i <= mid && j <= high) buffer[out++] = list[i].value > list[j].value ? list[i++] : list[j++];
    while (i <= mid) buffer[out++] = list[i++];
    while (j <= high) buffer[out++] = list[j++];
    for (int k = 0; k < out; ++k) list[low + k] = buffer[k];
}
