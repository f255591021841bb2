#include <algorithm>
#include <functional>

#include "engine.h"

namespace {

constexpr int AttackFourWeight = 900;
constexpr int DefenceFourWeight = 500;

// Sorting value * 512 + cell index, highest first, gives value descending
// and, among equal values, cell index descending: the merge sort's order.
constexpr int IndexBits = 9;
static_assert(CellCount <= 1 << IndexBits, "a cell index fits below the value");

inline int cellValue(int own, int opp, int cell) {
    const int attack = LineTotal[own][cell] + AttackFourWeight * FourTotal[own][cell];
    const int defence = LineTotal[opp][cell] + DefenceFourWeight * FourTotal[opp][cell];
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
        const int value = cellValue(own, opp, cell);
        if (value > 0) keys[scored++] = value << IndexBits | cell;
    }
    sortKeys(keys, scored);
    // Cells scoring 0 follow in descending cell order.
    int count = scored;
    for (int cell = CellCount - 1; cell >= 0; --cell)
        if (cellValue(own, opp, cell) == 0) keys[count++] = cell;
    writeList(keys, count, list);
}

// Branch-free over all 400 cells, so that the compiler can vectorise it.
// The largest key of every row follows the 400 cell keys, so that taking
// the next cell looks at 20 row maxima and one row, not at every cell.
void CandidateKeys(int side, int* keys) {
    const int own = sideIndex(side), opp = 1 - own;
    int* rowBest = keys + CellCount;
    for (int x = 0; x < BoardSize; ++x) {
        int best = -1;
        for (int cell = x * BoardSize; cell < (x + 1) * BoardSize; ++cell) {
            const int key = cellValue(own, opp, cell) << IndexBits | cell;
            const int tried = -Candidate[cell];  // all ones or zero
            keys[cell] = (key & tried) | ~tried;
            best = keys[cell] > best ? keys[cell] : best;
        }
        rowBest[x] = best;
    }
}

int TakeBestCandidate(int* keys) {
    int* rowBest = keys + CellCount;
    int best = -1;
    for (int x = 0; x < BoardSize; ++x) best = rowBest[x] > best ? rowBest[x] : best;
    if (best < 0) return -1;
    const int cell = best & ((1 << IndexBits) - 1);
    keys[cell] = -1;
    const int row = cell / BoardSize;
    int rowNext = -1;
    for (int y = 0; y < BoardSize; ++y) rowNext = keys[row * BoardSize + y] > rowNext ? keys[row * BoardSize + y] : rowNext;
    rowBest[row] = rowNext;
    return cell;
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
