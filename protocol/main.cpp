#include <cstdio>

#include "../engine/engine.h"
#include "protocol.h"

int main() {
#ifdef MORROW_DEEP_BY_DEFAULT
    // The deep executable: as deep as the clock allows unless INFO max_depth says otherwise.
    DeepByDefault = true;
#endif
    useBinaryStdout();
    if (stdinIsConsole()) {
        std::fputs(
            "MESSAGE Gomoku AI should not be started directly. Please install gomoku manager "
            "(https://sourceforge.net/projects/piskvork). Then enter path to this exe file in players settings.\n",
            stdout);
        std::fflush(stdout);
    }
    touchStandInTables();
    startWorker();
    command_loop();
    exitProcess();
}
