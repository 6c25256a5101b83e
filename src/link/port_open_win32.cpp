#include <cctype>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <mutex>
#include <string>

#include "base/wide_text.h"
#include "link/port_win32.h"

namespace zelvar {

namespace {

Win32Port g_ports[kMaxPortHandles];
std::mutex g_portTable;  // opening and closing

const char* OpenErrorText(DWORD error, bool comDevice) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_NAME:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
            return kReasonNotFound;
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return kReasonBusy;
        case ERROR_ACCESS_DENIED:
            // Windows answers so for a COM port another program holds open.
            return comDevice ? kReasonBusy : kReasonDenied;
        case ERROR_TOO_MANY_OPEN_FILES:
            return kReasonTooMany;
        case ERROR_FILENAME_EXCED_RANGE:
            return "device name too long";
        default:
            return "the device could not be opened";
    }
}

bool IsComDevicePath(const char* path) {
    return std::strncmp(path, "\\\\.\\COM", 7) == 0;
}

// "COM" and a number: a name the system's device namespace spells \\.\COMn, which is the
// only spelling that reaches COM10 and above.
bool IsComName(const char* name) {
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M' || name[3] == '\0') {
        return false;
    }
    for (const char* digit = name + 3; *digit != '\0'; ++digit) {
        if (!std::isdigit(static_cast<unsigned char>(*digit))) return false;
    }
    return true;
}

// Windows itself refuses a second open of a COM port; Wine does not. A named object per
// port makes a second open fail for every copy of this program under either. nullptr
// when another process holds the name (reason says so).
HANDLE ClaimPortName(const char* path, const char*& reason) {
    std::wstring name = L"Local\\zelvar-port-";
    for (const wchar_t c : WideFromUtf8(path)) {
        name += c == L'\\' ? L'_' : static_cast<wchar_t>(std::towupper(c));
    }
    HANDLE claim = CreateMutexW(nullptr, FALSE, name.c_str());
    if (claim != nullptr && GetLastError() != ERROR_ALREADY_EXISTS) return claim;
    if (claim != nullptr) CloseHandle(claim);
    reason = kReasonBusy;
    return nullptr;
}

int FreeSlot() {
    for (int slot = 0; slot < kMaxPortHandles; ++slot) {
        if (g_ports[slot].device == INVALID_HANDLE_VALUE) return slot;
    }
    return -1;
}

// Raw 8N1 at speed: no parity, no flow control of any kind, DTR and RTS held inactive,
// no character replaced or dropped, and a line error never aborts the transfers.
bool ApplyLineSettings(HANDLE device, int speed) {
    DCB dcb;
    if (!ReadLineSettings(device, dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(speed);
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return !IsSpeedRefusedForTests(speed) && SetCommState(device, &dcb);
}

// The device is opened, not shared; the settings and queues come after.
HANDLE OpenDevice(const char* path, const char*& reason) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        reason = kReasonNotFound;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE device = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        reason = OpenErrorText(GetLastError(), IsComDevicePath(path));
        return INVALID_HANDLE_VALUE;
    }
    DCB dcb;
    if (GetFileType(device) != FILE_TYPE_CHAR || !ReadLineSettings(device, dcb)) {
        reason = kReasonNotSerial;
        CloseHandle(device);
        return INVALID_HANDLE_VALUE;
    }
    return device;
}

}  // namespace

Win32Port& Win32PortOf(PortHandle handle) {
    return g_ports[handle];
}

bool ResolvePortName(const char* name, char* out, int size) {
    if (name == nullptr || out == nullptr || size <= 0 || name[0] == '\0') return false;
    int written = 0;
    if (std::strcmp(name, "GPS1:") == 0) {
        written = std::snprintf(out, static_cast<std::size_t>(size), "\\\\.\\COM1");
    } else if (std::strcmp(name, "GPS2:") == 0) {
        written = std::snprintf(out, static_cast<std::size_t>(size), "\\\\.\\COM2");
    } else if (IsComName(name)) {
        written = std::snprintf(out, static_cast<std::size_t>(size), "\\\\.\\%s", name);
    } else {
        written = std::snprintf(out, static_cast<std::size_t>(size), "%s", name);
    }
    if (written > 0 && written < size) return true;
    out[0] = '\0';
    return false;
}

PortHandle OpenPortDevice(const char* path, int speed, const char*& reason) {
    HANDLE device = OpenDevice(path, reason);
    if (device == INVALID_HANDLE_VALUE) return kInvalidPort;
    if (!ApplyLineSettings(device, speed)) {
        reason = kReasonSettings;
        CloseHandle(device);
        return kInvalidPort;
    }
    // Either may be refused (a pty under Wine has no modem lines); the settings hold them
    // inactive already where the device has them.
    (void)EscapeCommFunction(device, CLRDTR);
    (void)EscapeCommFunction(device, CLRRTS);
    (void)SetupComm(device, kQueueBytes, kQueueBytes);
    std::lock_guard lock(g_portTable);
    const int slot = FreeSlot();
    if (slot < 0) {
        reason = kReasonTooMany;
        CloseHandle(device);
        return kInvalidPort;
    }
    HANDLE claim = ClaimPortName(path, reason);
    if (claim == nullptr) {
        CloseHandle(device);
        return kInvalidPort;
    }
    g_ports[slot].Reset(device, claim);
    if (!SetReadWait(slot, kReadSliceMs)) {
        g_ports[slot].Reset(INVALID_HANDLE_VALUE, nullptr);
        CloseHandle(claim);
        CloseHandle(device);
        reason = kReasonSettings;
        return kInvalidPort;
    }
    (void)PurgeComm(device, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    COMSTAT status{};
    (void)PollComm(slot, status);
    g_ports[slot].lineErrors.store(0);  // from before this open
    return slot;
}

void ClosePortDevice(PortHandle handle) {
    if (!IsPortSlot(handle)) return;
    std::lock_guard lock(g_portTable);
    Win32Port& port = g_ports[handle];
    if (port.device == INVALID_HANDLE_VALUE) return;
    // A lost or stalled device would hold the close until its output drained.
    if (IsPortLost(handle)) (void)PurgeComm(port.device, PURGE_TXABORT | PURGE_TXCLEAR);
    ReleasePortSlot(handle);
    CloseHandle(port.device);
    CloseHandle(port.claim);
    port.Reset(INVALID_HANDLE_VALUE, nullptr);
}

}  // namespace zelvar
