// Connect GPS: the connect procedure and the lines that list what it found.
#include "link/connect_gps.h"

#include <cstdio>

#include "base/message_log.h"
#include "base/shared_state.h"

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
    PortHandle handle = OpenPort(g_portName.Get().c_str(), kConnectOpenSpeed);
    if (handle == kInvalidPort) {
        ShowStatus("Cannot open GPS port.");
        return false;
    }
    ShowStatus("Waiting data from GPS...");
    ConnectReceiver(handle, g_receiverInfo);
    ClosePort(handle);

    LogLine(" GPS flash information");
    LogSectionInfo(g_receiverInfo.pfld, "Pfld");
    LogSectionInfo(g_receiverInfo.main, "Main FW");
    const bool connected = g_receiverInfo.connected && g_receiverInfo.speed != 0;
    if (onVerdict) onVerdict(connected);
    if (connected) {
        char line[kLineBytes];
        std::snprintf(line, sizeof line, "GPS connected at %d",
                      static_cast<int>(g_receiverInfo.speed));
        LogAnsiLine(line);
    } else {
        LogLine("Cannot connect to GPS.");
    }
    ShowStatus("");
    return connected;
}

}  // namespace zelvar
