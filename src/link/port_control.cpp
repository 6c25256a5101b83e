#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "base/job_failure.h"
#include "base/message_log.h"
#include "link/line_speed_seam.h"
#include "link/port_handles.h"

namespace zelvar {

namespace {

std::atomic<int> g_refusedSpeed{0};  // RefuseLineSpeedForTests

void PauseMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void RefuseLineSpeedForTests(int speed) {
    g_refusedSpeed.store(speed);
}

bool IsSpeedRefusedForTests(int speed) {
    return speed != 0 && speed == g_refusedSpeed.load();
}

PortResult SetPortSpeed(PortHandle handle, int speed) {
    if (!IsPortUsable(handle)) return {PortOutcome::Lost, 0};
    // Bytes written just before the change leave at the old speed.
    DrainPort(handle);
    if (!IsPortUsable(handle)) return {PortOutcome::Lost, 0};
    PauseMs(kSpeedChangeSettleMs);
    // The output has just been drained, so only received bytes are left to throw away.
    // Clearing the output queue too would change nothing on a UART, but on a pty the
    // drain returns before the peer has read, and the clear would discard bytes that a
    // UART would have sent (a boot request, say).
    PurgePort(handle, PURGE_RXABORT | PURGE_RXCLEAR);
    int error = 0;
    const bool changed = ApplyPortSpeed(handle, speed, error);
    if (!changed) NoteRequestFailure(handle, error);
    // Line errors of the old speed are cleared, not reported.
    uint32_t oldErrors = 0;
    (void)TakeLineErrors(handle, oldErrors);
    // Whatever arrived during the change is garbage at either speed.
    PurgePort(handle, PURGE_RXCLEAR);
    if (changed) return {};
    return {IsPortLost(handle) ? PortOutcome::Lost : PortOutcome::Refused, error};
}

PortResult ChangeLineSpeed(PortHandle handle, int speed) {
    const PortResult result = SetPortSpeed(handle, speed);
    if (result.Refused()) {
        char text[64];
        std::snprintf(text, sizeof text, "Line speed %d refused by the serial port.", speed);
        NoteJobFailure(text);
        ShowStatus(text);
    }
    return result;
}

}  // namespace zelvar
