#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "cli/signal_watch.h"

namespace zelvar::cli {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void WatchLoop(std::function<void()> onStop) {
    const sigset_t set = StopSignals();
    int requests = 0;
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) continue;
        if (++requests > 1) _exit(kExitInterrupted);
        if (onStop) onStop();
    }
}

}  // namespace

void BlockStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void WatchStopSignals(std::function<void()> onStop) {
    static bool started = false;
    if (started) return;
    started = true;
    std::thread(WatchLoop, std::move(onStop)).detach();
}

}  // namespace zelvar::cli
