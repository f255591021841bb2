#include <thread>

#include "../brain/brain.h"
#include "protocol.h"

void threadLoop() {
    for (;;) {
        event1.wait();
        brain_turn();
        event2.signal();
    }
}

// The worker lives as long as the process and is never joined.
void startWorker() { std::thread(threadLoop).detach(); }
