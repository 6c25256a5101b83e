#include <windows.h>

#include <atomic>

#include "cli/signal_watch.h"
#include "cli/station/stop_request.h"

namespace zelvar::cli {

namespace {

std::atomic<bool> g_stopRequested{false};
HANDLE g_wake = nullptr;  // manual reset: every later wait sees the request too

}  // namespace

void WatchStationStop() {
    if (g_wake != nullptr) return;
    g_wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WatchStopSignals([] {
        g_stopRequested.store(true);
        if (g_wake != nullptr) SetEvent(g_wake);
    });
}

bool StationStopRequested() {
    return g_stopRequested.load();
}

std::intptr_t StationStopWaitable() {
    return reinterpret_cast<std::intptr_t>(g_wake);
}

}  // namespace zelvar::cli
