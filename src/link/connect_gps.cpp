// Connect GPS: the connect procedure and the lines that list what it found.
#include "link/connect_gps.h"

#include <cstdio>

#include "base/message_log.h"
#include "base/shared_state.h"
#include "link/flash_information.h"

namespace zelvar {

namespace {

constexpr int kLineBytes = 512;

}  // namespace

void LogSectionInfo(const FlashSectionInfo& section, const char* label) {
    char line[kLineBytes];
    if (section.length == 0) {
        std::snprintf(line, sizeof line, "%s N/a", label);
        LogAnsiLine(line);
        return;
    }
    std::snprintf(line, sizeof line, "%s len:0x%x", label, section.length);
    LogAnsiLine(line);
    if (section.crc != 0) {
        std::snprintf(line, sizeof line, "%s crc:0x%x", label, section.crc);
    } else {
        std::snprintf(line, sizeof line, "%s crc:N/a", label);
    }
    LogAnsiLine(line);
    if (section.major != 0 || section.minor != 0) {
        std::snprintf(line, sizeof line, "%s ver:%d.%d (%s)", label, section.major, section.minor,
                      section.text);
    } else {
        std::snprintf(line, sizeof line, "%s ver:N/a", label);
    }
    LogAnsiLine(line);
}

bool ConnectGps(const std::function<void(bool connected)>& onVerdict) {
    return ConnectAndListFlash(g_portName.Get().c_str(), "before", g_receiverInfo, onVerdict) ==
           ConnectOutcome::Connected;
}

}  // namespace zelvar
