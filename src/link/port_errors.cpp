#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdio>

#include "base/message_log.h"
#include "link/port_line.h"

namespace zelvar {

namespace {

struct NamedLineError {
    uint32_t bit;
    const char* name;
};

// Reporting order.
constexpr NamedLineError kNamedLineErrors[] = {
    {CE_BREAK, "CE_BREAK"},   {CE_FRAME, "CE_FRAME"},       {CE_OVERRUN, "CE_OVERRUN"},
    {CE_RXOVER, "CE_RXOVER"}, {CE_RXPARITY, "CE_RXPARITY"}, {CE_TXFULL, "CE_TXFULL"},
};

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

void ReportCommErrorMask(uint32_t mask) {
    if (mask == 0) return;
    char text[32];
    std::snprintf(text, sizeof text, "Comm error: 0x%08X:", static_cast<unsigned>(mask));
    ShowStatus(text);
    for (const NamedLineError& error : kNamedLineErrors) {
        if (mask & error.bit) ShowStatus(error.name);
    }
}

// The kernel counts line errors per device; the errors since the last look on this
// handle make the mask. A device that keeps no counters (a pty) reports none.
uint32_t ReportCommErrors(PortHandle handle) {
    if (!IsPortUsable(handle)) return 0;
    LineErrorCounts now;
    if (!ReadLineErrorCounts(handle, now)) {
        if (IsGoneErrno(errno)) MarkPortLost(handle, LossFromErrno(errno));
        return 0;
    }
    const uint32_t mask = MaskOfNewErrors(ExchangeLineErrorCounts(handle, now), now);
    ReportCommErrorMask(mask);
    return mask;
}

}  // namespace zelvar
