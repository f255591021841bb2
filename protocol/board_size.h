// The board size the manager announced with START or RECTSTART.
#pragma once

// Both 0 while no game is announced.
extern int width;
extern int height;
