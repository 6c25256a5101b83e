#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "base/message_log.h"
#include "link/port_line.h"

namespace zelvar {

namespace {

void PauseMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Notes a failed request: a device that is no longer there marks the handle lost.
void NoteRequestFailure(PortHandle handle) {
    if (IsGoneErrno(errno)) MarkPortLost(handle, LossFromErrno(errno));
}

// Waits until the output queue is empty. The queue must keep shrinking: one that
// stands still for kWriteStallLostMs means the device no longer sends.
bool WaitOutputQueueEmpty(PortHandle handle) {
    long long lastProgress = PortNowMs();
    int lastQueued = -1;
    for (;;) {
        int queued = 0;
        if (ioctl(handle, TIOCOUTQ, &queued) != 0) {
            NoteRequestFailure(handle);
            return IsPortUsable(handle);  // a device without the count: leave it to tcdrain
        }
        if (queued <= 0) return true;
        if (lastQueued < 0 || queued < lastQueued) lastProgress = PortNowMs();
        lastQueued = queued;
        if (PortNowMs() - lastProgress >= kWriteStallLostMs) {
            MarkPortLost(handle, PortLoss::WriteStalled);
            return false;
        }
        PauseMs(kDrainPollMs);
    }
}

}  // namespace

void DrainPort(PortHandle handle) {
    if (!IsPortUsable(handle) || !WaitOutputQueueEmpty(handle)) return;
    // What is left sits in the transmitter itself: tcdrain waits for that.
    while (tcdrain(handle) != 0) {
        if (errno != EINTR) {
            NoteRequestFailure(handle);
            return;
        }
    }
}

void PurgePort(PortHandle handle, unsigned flags) {
    if (!IsPortUsable(handle)) return;
    // The port has no pending asynchronous transfers: the abort requests have nothing
    // to end, the clear requests empty the queues.
    const bool output = (flags & PURGE_TXCLEAR) != 0;
    const bool input = (flags & PURGE_RXCLEAR) != 0;
    if (!output && !input) return;
    const int queue = output && input ? TCIOFLUSH : (output ? TCOFLUSH : TCIFLUSH);
    if (tcflush(handle, queue) != 0) NoteRequestFailure(handle);
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
    const bool changed = ApplyLineSpeed(handle, speed);
    const int error = changed ? 0 : errno;
    if (!changed) NoteRequestFailure(handle);
    // Line errors of the old speed are cleared, not reported.
    LineErrorCounts counts;
    if (ReadLineErrorCounts(handle, counts)) ExchangeLineErrorCounts(handle, counts);
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
        ShowStatus(text);
    }
    return result;
}

}  // namespace zelvar
