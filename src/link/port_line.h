// Private to the serial port code on Linux: the line settings on termios, the kernel's
// line-error counters and what its error numbers mean for a device.
#pragma once

#include "link/port_handles.h"

namespace zelvar {

// Raw 8N1, receiver on, modem control lines ignored (CLOCAL), no flow control, no
// character translation, non-blocking reads that wait for one byte (VMIN 1, VTIME 0),
// at speed. Every other setting stays as the driver reported it. False when the driver
// refuses the settings or speed has no termios value; errno tells why.
bool ApplyLineSettings(int fd, int speed);
// Replaces only the line speed; false when the driver refuses it.
bool ApplyLineSpeed(int fd, int speed);
// Holds DTR and RTS inactive where the device has modem lines (a pty has none).
void DropModemLines(int fd);
// Asks the driver to hand over each received byte at once instead of after its latency
// timer (16 ms on an FTDI adapter, paid twice per frame); false where the driver has no
// such setting (a pty, CDC-ACM), which changes nothing else.
bool RequestLowLatency(int fd);

// The kernel's line-error counters as last seen on a handle.
struct LineErrorCounts {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufOverrun = 0;
};
// Reads the kernel's line-error counters; false where the device keeps none.
bool ReadLineErrorCounts(int fd, LineErrorCounts& counts);
// Stores the counters now seen and returns the ones seen before.
LineErrorCounts ExchangeLineErrorCounts(PortHandle handle, const LineErrorCounts& now);

// The loss an errno from a failed read, write or request stands for.
PortLoss LossFromErrno(int error);
// A failed transfer with this errno is worth repeating.
bool IsTransientErrno(int error);
// A failed request (ioctl) or write with this errno means the device is no longer there.
bool IsGoneErrno(int error);

}  // namespace zelvar
