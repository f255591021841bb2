#include "engine.h"

namespace reference {

namespace {

// Weight a window of n stones of one side adds to each of its cells; a four
// weighs more in attack (900) than in defence (500).
constexpr int LineWeight[4] = {3, 14, 42, 0};
constexpr int AttackFourWeight = 900;
constexpr int DefenceFourWeight = 500;

}  // namespace

void SortMoves(int side, onemove* list) {
    int attack[BoardSize][BoardSize] = {};
    int defence[BoardSize][BoardSize] = {};
    for (int k = 0; k < CellCount; ++k) list[k] = {k / BoardSize, k % BoardSize, 0};

    for (int w = 0; w < FiveWindowCount; ++w) {
        if (DeadFive[w]) continue;
        int sum = 0;
        for (const cellpos& c : Win2Point[w]) sum += board[c.x][c.y];
        int stones, owner;
        if (sum >= 1 && sum <= 4) {
            stones = sum;
            owner = MyStone;
        } else if (sum <= -400 && sum >= -1600 && sum % 400 == 0) {
            stones = -sum / 400;
            owner = OpponentStone;
        } else {
            continue;
        }
        const bool attacking = (side == MyStone) == (owner == MyStone);
        const int weight = stones == 4 ? (attacking ? AttackFourWeight : DefenceFourWeight)
                                       : LineWeight[stones - 1];
        auto& total = attacking ? attack : defence;
        for (const cellpos& c : Win2Point[w]) total[c.x][c.y] += weight;
    }

    for (int x = 0; x < BoardSize; ++x)
        for (int y = 0; y < BoardSize; ++y)
            list[x * BoardSize + y].value = attack[x][y] > defence[x][y] ? attack[x][y] : defence[x][y];

    mergeSort(list, 0, CellCount - 1);
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

}  // namespace reference
