#include <atomic>
#include <cstring>

#include "base/main_window.h"
#include "base/message_log.h"
#include "link/port_handles.h"

namespace zelvar {

namespace {

constexpr int kPortPathBytes = 260;
constexpr const char* kCanNotOpen = "Can not open serial port 1.";

std::atomic<const char*> g_lastOpenError{""};

bool IsAcceptedSpeed(int speed) {
    for (int accepted : kPortSpeeds) {
        if (accepted == speed) return true;
    }
    return false;
}

PortHandle FailOpen(const char* reason) {
    g_lastOpenError.store(reason);
    AskUser(kCanNotOpen, "Error", AskButtons::Ok, AskIcon::Error);
    return kInvalidPort;
}

}  // namespace

const char* LastPortOpenError() {
    return g_lastOpenError.load();
}

PortHandle OpenPort(const char* deviceName, int speed) {
    if (!IsAcceptedSpeed(speed)) {
        g_lastOpenError.store("line speed not accepted");
        AskUser("Incorrect baud.", "Error", AskButtons::Ok, AskIcon::Error);
        return kInvalidPort;
    }
    char path[kPortPathBytes];
    if (!ResolvePortName(deviceName, path, sizeof path)) {
        return FailOpen(deviceName == nullptr || deviceName[0] == '\0' ? "no device named"
                                                                       : "device name too long");
    }
    const char* reason = nullptr;
    const PortHandle handle = OpenPortDevice(path, speed, reason);
    if (handle == kInvalidPort && std::strcmp(reason, kReasonSettings) == 0) {
        g_lastOpenError.store(kReasonSettings);
        ShowStatus("SetCommState return error");
        return kInvalidPort;
    }
    if (handle == kInvalidPort) return FailOpen(reason);
    ClaimPortSlot(handle);
    g_lastOpenError.store("");
    return handle;
}

void ClosePort(PortHandle& handle) {
    if (handle == kInvalidPort) return;
    if (handle >= 0) ClosePortDevice(handle);
    handle = kInvalidPort;
}

}  // namespace zelvar
