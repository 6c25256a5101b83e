#include <cstdio>

#include "base/message_log.h"
#include "link/port_handles.h"

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

}  // namespace

void ReportCommErrorMask(uint32_t mask) {
    if (mask == 0) return;
    char text[32];
    std::snprintf(text, sizeof text, "Comm error: 0x%08X:", static_cast<unsigned>(mask));
    ShowStatus(text);
    for (const NamedLineError& error : kNamedLineErrors) {
        if (mask & error.bit) ShowStatus(error.name);
    }
}

// The errors since the last look on this handle make the mask. A device that keeps no
// record of them (a pty) reports none.
uint32_t ReportCommErrors(PortHandle handle) {
    if (!IsPortUsable(handle)) return 0;
    uint32_t mask = 0;
    if (!TakeLineErrors(handle, mask)) return 0;
    ReportCommErrorMask(mask);
    return mask;
}

}  // namespace zelvar
