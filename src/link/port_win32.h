// Private to the serial port code on Windows: the device handle behind each port
// handle, and what the system's error codes mean for a device.
#pragma once

// The port's own constants first: the Windows headers define the same names (CE_FRAME,
// PURGE_RXCLEAR, ...) as macros of the same values, which would spoil the declarations.
// clang-format off
#include "link/port_handles.h"
#include <windows.h>
// clang-format on

#include <atomic>
#include <cstdint>

namespace zelvar {

// Timing of the Windows transfers (milliseconds). A read that waits for a byte waits at
// most kReadSliceMs in the system at a time, and a write at most kWriteSliceMs, so that
// a transfer of another thread on the same handle is never held up for longer.
constexpr DWORD kReadSliceMs = 20;
constexpr DWORD kWriteSliceMs = 200;
// A read that comes back empty long before its time-out means the line hung up (a
// closed pty under Wine answers so); this many in a row mark the handle lost.
constexpr int kEarlyEmptyReadsLost = 50;
constexpr long long kEarlyEmptyMs = 2;  // an empty read sooner than this is early
constexpr int kFailedReadPauseMs = 1;   // between reads that failed without a loss
constexpr DWORD kQueueBytes = 4096;     // the driver's receive and transmit queues

// The device behind a port handle. pending holds a byte a wait has already read (-1 for
// none), readWaitMs the read time-out the device has now, lineErrors the line errors the
// driver reported since the last TakeLineErrors (every look at the driver's queues
// clears them there).
struct Win32Port {
    HANDLE device = INVALID_HANDLE_VALUE;
    HANDLE claim = nullptr;  // the port's name, claimed for this process
    int pending = -1;
    DWORD readWaitMs = 0;
    std::atomic<uint32_t> lineErrors{0};

    void Reset(HANDLE newDevice, HANDLE newClaim) {
        device = newDevice;
        claim = newClaim;
        pending = -1;
        readWaitMs = 0;
        lineErrors.store(0);
    }
};

// The port behind handle (IsPortSlot(handle) must hold).
Win32Port& Win32PortOf(PortHandle handle);

// The device's line settings as the driver has them now; false when it gives none
// (the handle names no serial device).
inline bool ReadLineSettings(HANDLE device, DCB& dcb) {
    dcb = DCB{};
    dcb.DCBlength = sizeof dcb;
    return GetCommState(device, &dcb) != FALSE;
}

// Looks at the driver's queues (status), keeping the line errors it reports; false when
// the request failed (a device that has gone is marked lost).
bool PollComm(PortHandle handle, COMSTAT& status);

// Sets the device's time-outs: reads end at the first byte or after readWaitMs, writes
// after kWriteSliceMs with what they sent. Kept when unchanged.
bool SetReadWait(PortHandle handle, DWORD readWaitMs);

// The loss a failed transfer's error code stands for, and whether it means the device
// is no longer there (an unplugged adapter).
PortLoss LossFromError(DWORD error);
bool IsGoneError(DWORD error);

}  // namespace zelvar
