#include "platform/Termination.h"

#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace plat {

namespace {

std::mutex gMutex;
TerminationCallback gCallback = nullptr;
void* gContext = nullptr;

sigset_t TerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    return signals;
}

// Takes the blocked signals one by one for the life of the process.
void WatchLoop(sigset_t signals) {
    for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0)
            continue;
        // The callback runs under the lock: once SetTerminationCallback has
        // returned, the previous callback no longer runs.
        std::lock_guard<std::mutex> lock(gMutex);
        if (!gCallback)
            ::_exit(128 + signal);
        gCallback(gContext);
    }
}

} // namespace

void WatchTerminationRequests() {
    sigset_t signals = TerminationSignals();
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0)
        return;
    std::thread(WatchLoop, signals).detach();
}

void SetTerminationCallback(TerminationCallback callback, void* context) {
    std::lock_guard<std::mutex> lock(gMutex);
    gCallback = callback;
    gContext = context;
}

} // namespace plat
