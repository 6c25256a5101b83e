#include "link/port_win32.h"

namespace zelvar {

bool SetReadWait(PortHandle handle, DWORD readWaitMs) {
    Win32Port& port = Win32PortOf(handle);
    if (port.readWaitMs == readWaitMs) return true;
    // A one-byte read with only a total time-out ends at the first byte, on Windows and
    // under Wine alike (the MAXDWORD interval combinations do not, under Wine). A zero
    // total would mean no time-out at all, so the shortest wait is 1 ms.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = readWaitMs > 0 ? readWaitMs : 1;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteSliceMs;
    if (!SetCommTimeouts(port.device, &timeouts)) {
        NoteRequestFailure(handle, static_cast<int>(GetLastError()));
        return false;
    }
    port.readWaitMs = readWaitMs;
    return true;
}

bool ApplyPortSpeed(PortHandle handle, int speed, int& error) {
    if (!IsPortUsable(handle)) {
        error = ERROR_INVALID_HANDLE;
        return false;
    }
    HANDLE device = Win32PortOf(handle).device;
    DCB dcb;
    if (!ReadLineSettings(device, dcb)) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    if (IsSpeedRefusedForTests(speed) || speed <= 0) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    dcb.BaudRate = static_cast<DWORD>(speed);
    if (SetCommState(device, &dcb)) return true;
    error = static_cast<int>(GetLastError());
    return false;
}

bool PollComm(PortHandle handle, COMSTAT& status) {
    DWORD errors = 0;
    Win32Port& port = Win32PortOf(handle);
    if (!ClearCommError(port.device, &errors, &status)) {
        NoteRequestFailure(handle, static_cast<int>(GetLastError()));
        return false;
    }
    constexpr DWORD kReported =
        CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK | CE_TXFULL;
    if ((errors & kReported) != 0) port.lineErrors.fetch_or(errors & kReported);
    return true;
}

bool TakeLineErrors(PortHandle handle, uint32_t& mask) {
    mask = 0;
    if (!IsPortUsable(handle)) return false;
    COMSTAT status{};
    const bool polled = PollComm(handle, status);
    mask = Win32PortOf(handle).lineErrors.exchange(0);
    return polled || mask != 0;
}

PortLoss LossFromError(DWORD error) {
    switch (error) {
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_NOT_READY:  // Wine, once the pty behind the port has closed
        case ERROR_FILE_NOT_FOUND:
            return PortLoss::Removed;
        case ERROR_INVALID_HANDLE:
            return PortLoss::NotOpen;
        case ERROR_BROKEN_PIPE:
            return PortLoss::HungUp;
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE:
        case ERROR_BAD_COMMAND:
        case ERROR_OPERATION_ABORTED:
        case ERROR_ACCESS_DENIED:
            return PortLoss::IoError;
        default:
            return PortLoss::Other;
    }
}

// What an unplugged adapter's driver answers to the handle still open on it.
bool IsGoneError(DWORD error) {
    return LossFromError(error) != PortLoss::Other;
}

void NoteRequestFailure(PortHandle handle, int error) {
    const DWORD code = static_cast<DWORD>(error);
    if (IsGoneError(code)) MarkPortLost(handle, LossFromError(code));
}

void PurgePort(PortHandle handle, unsigned flags) {
    if (!IsPortUsable(handle)) return;
    const DWORD known = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if ((flags & known) == 0) return;
    Win32Port& port = Win32PortOf(handle);
    if ((flags & PURGE_RXCLEAR) != 0) port.pending = -1;
    if (!PurgeComm(port.device, flags & known)) {
        NoteRequestFailure(handle, static_cast<int>(GetLastError()));
    }
}

// FlushFileBuffers returns once the driver has sent what it queued. Without flow
// control the line always moves, so the wait is the queue's length at the line speed.
void DrainPort(PortHandle handle) {
    if (!IsPortUsable(handle)) return;
    if (!FlushFileBuffers(Win32PortOf(handle).device)) {
        NoteRequestFailure(handle, static_cast<int>(GetLastError()));
    }
}

}  // namespace zelvar
