#include "upload/upload_control.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "base/shared_state.h"
#include "upload/upload_timing.h"

namespace zelvar {

namespace {
std::atomic<uint64_t> g_pauseTotalMs{0};
}  // namespace

bool UploadStopped(PortHandle handle) {
    return g_jobCancel.load() || IsPortLost(handle);
}

bool UploadPause(int ms) {
    using Clock = std::chrono::steady_clock;
    g_pauseTotalMs.fetch_add(static_cast<uint64_t>(std::max(ms, 0)));
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    const auto slice = std::chrono::milliseconds(kPauseSliceMs);
    while (!g_jobCancel.load()) {
        const auto now = Clock::now();
        if (now >= deadline) return true;
        std::this_thread::sleep_until(std::min(deadline, now + slice));
    }
    return false;
}

uint64_t UploadPauseTotalMs() {
    return g_pauseTotalMs.load();
}

void ResetUploadPauseTotal() {
    g_pauseTotalMs.store(0);
}

}  // namespace zelvar
