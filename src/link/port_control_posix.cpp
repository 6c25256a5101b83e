#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "link/port_line.h"

namespace zelvar {

namespace {

void PauseMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Waits until the output queue is empty. The queue must keep shrinking: one that
// stands still for kWriteStallLostMs means the device no longer sends.
bool WaitOutputQueueEmpty(PortHandle handle) {
    long long lastProgress = PortNowMs();
    int lastQueued = -1;
    for (;;) {
        int queued = 0;
        if (ioctl(handle, TIOCOUTQ, &queued) != 0) {
            NoteRequestFailure(handle, errno);
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
            NoteRequestFailure(handle, errno);
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
    if (tcflush(handle, queue) != 0) NoteRequestFailure(handle, errno);
}

}  // namespace zelvar
