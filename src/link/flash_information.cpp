#include "link/flash_information.h"

#include <cstdio>

#include "base/loader_events.h"
#include "base/message_log.h"
#include "link/connect_gps.h"
#include "link/receiver_queries.h"

namespace zelvar {

namespace {
constexpr int kLineBytes = 64;
thread_local const ReceiverInfo* t_publishedReceiver = nullptr;
}  // namespace

const ReceiverInfo& PublishedReceiver() {
    return t_publishedReceiver ? *t_publishedReceiver : g_receiverInfo;
}

ConnectOutcome ConnectAndListFlash(const char* port, const char* when, ReceiverInfo& info,
                                   const std::function<void(bool connected)>& onVerdict) {
    PortHandle handle = OpenPort(port, kConnectOpenSpeed);
    if (handle == kInvalidPort) {
        ShowStatus(kCannotOpenGpsPort);
        return ConnectOutcome::NotOpened;
    }
    ShowStatus("Waiting data from GPS...");
    ConnectReceiver(handle, info);
    ClosePort(handle);

    LogLine(" GPS flash information");
    LogSectionInfo(info.pfld, "Pfld");
    LogSectionInfo(info.main, "Main FW");
    const bool connected = info.connected && info.speed != 0;
    if (onVerdict) onVerdict(connected);
    if (connected) {
        char line[kLineBytes];
        std::snprintf(line, sizeof line, "GPS connected at %d", static_cast<int>(info.speed));
        LogAnsiLine(line);
        t_publishedReceiver = &info;
        PublishText(EventKind::Receiver, when);
        t_publishedReceiver = nullptr;
    } else {
        LogLine(kCannotConnectToGps);
    }
    ShowStatus("");
    return connected ? ConnectOutcome::Connected : ConnectOutcome::NoReceiver;
}

}  // namespace zelvar
