#include <linux/serial.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>

#include "link/port_line.h"

namespace zelvar {

namespace {

// The kernel counts line errors per device; the counters as last seen on each handle.
struct LineErrorSlot {
    std::atomic<int> frame{0};
    std::atomic<int> overrun{0};
    std::atomic<int> parity{0};
    std::atomic<int> brk{0};
    std::atomic<int> bufOverrun{0};
};

LineErrorSlot g_lineErrors[kMaxPortHandles];

uint32_t MaskOfNewErrors(const LineErrorCounts& before, const LineErrorCounts& now) {
    uint32_t mask = 0;
    if (now.brk != before.brk) mask |= CE_BREAK;
    if (now.frame != before.frame) mask |= CE_FRAME;
    if (now.overrun != before.overrun) mask |= CE_OVERRUN;
    if (now.bufOverrun != before.bufOverrun) mask |= CE_RXOVER;
    if (now.parity != before.parity) mask |= CE_RXPARITY;
    return mask;
}

}  // namespace

bool ReadLineErrorCounts(int fd, LineErrorCounts& counts) {
    serial_icounter_struct icount{};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
    counts.frame = icount.frame;
    counts.overrun = icount.overrun;
    counts.parity = icount.parity;
    counts.brk = icount.brk;
    counts.bufOverrun = icount.buf_overrun;
    return true;
}

LineErrorCounts ExchangeLineErrorCounts(PortHandle handle, const LineErrorCounts& now) {
    LineErrorCounts before;
    if (!IsPortSlot(handle)) return now;
    LineErrorSlot& slot = g_lineErrors[handle];
    before.frame = slot.frame.exchange(now.frame);
    before.overrun = slot.overrun.exchange(now.overrun);
    before.parity = slot.parity.exchange(now.parity);
    before.brk = slot.brk.exchange(now.brk);
    before.bufOverrun = slot.bufOverrun.exchange(now.bufOverrun);
    return before;
}

bool TakeLineErrors(PortHandle handle, uint32_t& mask) {
    mask = 0;
    LineErrorCounts now;
    if (!ReadLineErrorCounts(handle, now)) {
        NoteRequestFailure(handle, errno);
        return false;
    }
    mask = MaskOfNewErrors(ExchangeLineErrorCounts(handle, now), now);
    return true;
}

PortLoss LossFromErrno(int error) {
    switch (error) {
        case EIO:
            return PortLoss::IoError;
        case ENXIO:
        case ENODEV:
            return PortLoss::Removed;
        case EBADF:
            return PortLoss::NotOpen;
        case EPIPE:
            return PortLoss::HungUp;
        default:
            return PortLoss::Other;
    }
}

bool IsTransientErrno(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

bool IsGoneErrno(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

void NoteRequestFailure(PortHandle handle, int error) {
    if (IsGoneErrno(error)) MarkPortLost(handle, LossFromErrno(error));
}

}  // namespace zelvar
