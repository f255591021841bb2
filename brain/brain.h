// The brain callbacks: how the protocol hands moves and positions to the
// engine, and the protocol-side board that validates them.
#pragma once

constexpr int MaxBoardSize = 20;

// 0 empty, 1 own stone, 2 opponent's stone, 3 blocked.
extern int myboard[MaxBoardSize][MaxBoardSize];

// Answers "OK" or the error; false when the size was refused.
bool brain_init();
void brain_restart();
// Empties both boards within the announced size, blocked cells included.
void brain_clear();
bool isFree(int x, int y);
void brain_my(int x, int y);
void brain_opponents(int x, int y);
void brain_block(int x, int y);
int brain_takeback(int x, int y);
void brain_end();
