#include "link/flash_information.h"

#include <cstdio>

#include "base/loader_events.h"
#include "base/message_log.h"
#include "link/connect_gps.h"
#include "link/receiver_queries.h"

namespace zelvar {

namespace {
constexpr int kLineBytes = 64;
}  // namespace

ConnectOutcome ConnectAndListFlash(const char* port, const char* when,
                                   const std::function<void(bool connected)>& onVerdict) {
    PortHandle handle = OpenPort(port, kConnectOpenSpeed);
    if (handle == kInvalidPort) {
        ShowStatus(kCannotOpenGpsPort);
        return ConnectOutcome::NotOpened;
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
        PublishText(EventKind::Receiver, when);
    } else {
        LogLine(kCannotConnectToGps);
    }
    ShowStatus("");
    return connected ? ConnectOutcome::Connected : ConnectOutcome::NoReceiver;
}

}  // namespace zelvar
