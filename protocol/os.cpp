#include "os.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#else
#include <unistd.h>
#endif

void AutoResetEvent::signal() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_one();
}

void AutoResetEvent::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

void ManualResetEvent::signal() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void ManualResetEvent::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

void ManualResetEvent::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return signalled_; });
}

bool ManualResetEvent::isSignalled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return signalled_;
}

#ifdef _WIN32
bool stdinIsConsole() {
    // Only a console answers the mode query; a manager's pipe does not.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    return input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
}

void useBinaryStdout() {
    // In text mode the C runtime would write every "\n" as "\r\n".
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    // Input too: in text mode a Ctrl-Z byte ends the input as if the manager
    // had closed the pipe. get_line drops the "\r" of a "\r\n" itself.
    _setmode(_fileno(stdin), _O_BINARY);
}
#else
bool stdinIsConsole() { return isatty(STDIN_FILENO) != 0; }

void useBinaryStdout() {}
#endif
