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

#ifdef _WIN32
bool stdinIsConsole() {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void useBinaryStdout() { _setmode(_fileno(stdout), _O_BINARY); }
#else
bool stdinIsConsole() { return isatty(STDIN_FILENO) != 0; }

void useBinaryStdout() {}
#endif
