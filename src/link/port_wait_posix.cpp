#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "link/port_line.h"

namespace zelvar {

PortWait WaitPort(PortHandle handle, PortEvent event, int timeoutMs) {
    if (!IsPortUsable(handle)) return PortWait::Lost;
    const short events = event == PortEvent::Readable ? POLLIN : POLLOUT;
    const long long deadline = PortNowMs() + (timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        long long left = deadline - PortNowMs();
        if (left < 0) left = 0;
        pollfd p{handle, events, 0};
        int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0) {
            if (errno == EINTR) continue;
            MarkPortLost(handle, LossFromErrno(errno));
            return PortWait::Lost;
        }
        if (ready == 0) return PortWait::TimedOut;
        // A hung-up tty also reports itself readable and writable: the transfer that
        // follows then fails (or reads end of file) and says why.
        if (p.revents & events) return PortWait::Ready;
        MarkPortLost(handle, (p.revents & POLLNVAL) ? PortLoss::NotOpen : PortLoss::HungUp);
        return PortWait::Lost;
    }
}

int ReadAvailable(PortHandle handle, uint8_t* buffer, int n) {
    if (!IsPortUsable(handle)) return -1;
    if (n <= 0) return 0;
    for (;;) {
        ssize_t got = read(handle, buffer, static_cast<size_t>(n));
        if (got > 0) return static_cast<int>(got);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && IsTransientErrno(errno)) return 0;
        // The port is non-blocking with VMIN 1: an empty queue is EAGAIN, so end of
        // file means the tty was hung up.
        MarkPortLost(handle, got == 0 ? PortLoss::HungUp : LossFromErrno(errno));
        return -1;
    }
}

int WriteAvailable(PortHandle handle, const uint8_t* bytes, int n, int& error) {
    error = 0;
    if (!IsPortUsable(handle)) return -1;
    if (n <= 0) return 0;
    for (;;) {
        ssize_t put = write(handle, bytes, static_cast<size_t>(n));
        if (put >= 0) return static_cast<int>(put);
        if (errno == EINTR) continue;
        if (IsTransientErrno(errno)) return 0;
        error = errno;
        if (IsGoneErrno(error)) MarkPortLost(handle, LossFromErrno(error));
        return -1;
    }
}

}  // namespace zelvar
