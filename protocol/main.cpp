#include <cstdio>

#include "protocol.h"

int main() {
    useBinaryStdout();
    if (stdinIsConsole()) {
        std::fputs(
            "MESSAGE Gomoku AI should not be started directly. Please install gomoku manager "
            "(https://sourceforge.net/projects/piskvork). Then enter path to this exe file in players settings.\n",
            stdout);
        std::fflush(stdout);
    }
    startWorker();
    command_loop();
    exitProcess();
}
