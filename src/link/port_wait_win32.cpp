#include <chrono>
#include <thread>

#include "link/port_win32.h"

namespace zelvar {

namespace {

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One read of a byte that waits at most sliceMs: 1 with the byte, 0 when none came, -1
// when the device has gone away.
int ReadOneByte(PortHandle handle, DWORD sliceMs, uint8_t& byte, int& earlyEmpties) {
    if (!SetReadWait(handle, sliceMs)) return IsPortLost(handle) ? -1 : 0;
    const long long start = PortNowMs();
    DWORD got = 0;
    if (!ReadFile(Win32PortOf(handle).device, &byte, 1, &got, nullptr)) {
        NoteRequestFailure(handle, static_cast<int>(GetLastError()));
        if (IsPortLost(handle)) return -1;
        Pause(kFailedReadPauseMs);
        return 0;
    }
    if (got == 1) return 1;
    const bool early = sliceMs > kEarlyEmptyMs && PortNowMs() - start < kEarlyEmptyMs;
    earlyEmpties = early ? earlyEmpties + 1 : 0;
    if (earlyEmpties >= kEarlyEmptyReadsLost) {
        MarkPortLost(handle, PortLoss::HungUp);
        return -1;
    }
    return 0;
}

}  // namespace

PortWait WaitPort(PortHandle handle, PortEvent event, int timeoutMs) {
    if (!IsPortUsable(handle)) return PortWait::Lost;
    // Writes wait in the system themselves, at most kWriteSliceMs each.
    if (event == PortEvent::Writable) return PortWait::Ready;
    Win32Port& port = Win32PortOf(handle);
    const long long deadline = PortNowMs() + (timeoutMs > 0 ? timeoutMs : 0);
    int earlyEmpties = 0;
    for (;;) {
        if (port.pending >= 0) return PortWait::Ready;
        COMSTAT status{};
        if (!PollComm(handle, status) && IsPortLost(handle)) return PortWait::Lost;
        if (status.cbInQue > 0) return PortWait::Ready;
        const long long left = deadline - PortNowMs();
        if (left <= 0) return PortWait::TimedOut;
        const DWORD slice = left < kReadSliceMs ? static_cast<DWORD>(left) : kReadSliceMs;
        uint8_t byte = 0;
        const int got = ReadOneByte(handle, slice, byte, earlyEmpties);
        if (got < 0) return PortWait::Lost;
        if (got == 1) port.pending = byte;
    }
}

int ReadAvailable(PortHandle handle, uint8_t* buffer, int n) {
    if (!IsPortUsable(handle)) return -1;
    if (n <= 0) return 0;
    Win32Port& port = Win32PortOf(handle);
    int count = 0;
    if (port.pending >= 0) {
        buffer[count++] = static_cast<uint8_t>(port.pending);
        port.pending = -1;
    }
    if (count == n) return count;
    COMSTAT status{};
    if (!PollComm(handle, status)) return IsPortLost(handle) && count == 0 ? -1 : count;
    // Only what the driver already holds: the read returns at once.
    const DWORD queued = status.cbInQue;
    const DWORD want = queued < static_cast<DWORD>(n - count) ? queued : n - count;
    if (want == 0) return count;
    DWORD got = 0;
    if (!ReadFile(port.device, buffer + count, want, &got, nullptr)) {
        NoteRequestFailure(handle, static_cast<int>(GetLastError()));
        return IsPortLost(handle) && count == 0 ? -1 : count;
    }
    return count + static_cast<int>(got);
}

int WriteAvailable(PortHandle handle, const uint8_t* bytes, int n, int& error) {
    error = 0;
    if (!IsPortUsable(handle)) return -1;
    if (n <= 0) return 0;
    DWORD put = 0;
    // Ends after kWriteSliceMs with what the driver took by then.
    if (WriteFile(Win32PortOf(handle).device, bytes, static_cast<DWORD>(n), &put, nullptr)) {
        return static_cast<int>(put);
    }
    error = static_cast<int>(GetLastError());
    NoteRequestFailure(handle, error);
    return put > 0 ? static_cast<int>(put) : -1;
}

}  // namespace zelvar
