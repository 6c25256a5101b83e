// Private to the serial port code: the state of every open port, kept in a fixed table
// indexed by the descriptor so that the read and write paths never allocate, and the
// waits and single non-blocking transfers that notice a device going away.
#pragma once

#include <poll.h>

#include <cstdint>

#include "link/port.h"

namespace zelvar {

constexpr int kMaxPortHandles = 1024;  // descriptors at or above this are refused

// Why a device counts as gone.
enum class PortLoss { HungUp, IoError, Removed, NotOpen, WriteStalled, Other };

// The kernel's line-error counters as last seen on a handle.
struct LineErrorCounts {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufOverrun = 0;
};

// The handle fits the table (it may still be closed).
bool IsPortSlot(PortHandle handle);
// The handle was opened by OpenPort, is not closed and has not gone away.
bool IsPortUsable(PortHandle handle);
// A newly opened handle: open, not lost, counters as given.
void ClaimPortSlot(PortHandle handle, const LineErrorCounts& counts);
void ReleasePortSlot(PortHandle handle);

// Marks the handle lost; the first loss of a handle is shown in the status line.
void MarkPortLost(PortHandle handle, PortLoss loss);
// The loss an errno from a failed read, write or request stands for.
PortLoss LossFromErrno(int error);
// A failed transfer with this errno is worth repeating.
bool IsTransientErrno(int error);
// A failed request (ioctl) or write with this errno means the device is no longer there.
bool IsGoneErrno(int error);

// Stores the counters now seen and returns the ones seen before.
LineErrorCounts ExchangeLineErrorCounts(PortHandle handle, const LineErrorCounts& now);

enum class PortWait { Ready, TimedOut, Lost };
// Waits up to timeoutMs for events (POLLIN or POLLOUT) on the handle. An error or a
// hang-up on the line without the wanted event marks the handle lost.
PortWait WaitPort(PortHandle handle, short events, int timeoutMs);
// One non-blocking read: bytes read, 0 when none are waiting, -1 when the device has
// gone away (the handle is marked lost).
int ReadAvailable(PortHandle handle, uint8_t* buffer, int n);
// One non-blocking write: bytes taken, 0 when the driver takes none now, -1 when the
// write failed with error (0 when the handle was not usable). A device that has gone
// away (IsGoneErrno) marks the handle lost; any other error leaves it usable.
int WriteAvailable(PortHandle handle, const uint8_t* bytes, int n, int& error);

}  // namespace zelvar
