#include <fcntl.h>
#include <unistd.h>

#include <atomic>

#include "cli/signal_watch.h"
#include "cli/station/stop_request.h"

namespace zelvar::cli {

namespace {

std::atomic<bool> g_stopRequested{false};
int g_wake[2] = {-1, -1};

}  // namespace

void WatchStationStop() {
    if (g_wake[0] >= 0) return;
    if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) g_wake[0] = g_wake[1] = -1;
    WatchStopSignals([] {
        g_stopRequested.store(true);
        if (g_wake[1] >= 0) {
            const char byte = 1;
            ssize_t written = write(g_wake[1], &byte, 1);
            (void)written;
        }
    });
}

bool StationStopRequested() {
    return g_stopRequested.load();
}

std::intptr_t StationStopWaitable() {
    return g_wake[0];
}

}  // namespace zelvar::cli
