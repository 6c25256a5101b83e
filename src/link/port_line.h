// Private to the serial port code: the line settings on termios and the kernel's
// line-error counters.
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

// Reads the kernel's line-error counters; false where the device keeps none.
bool ReadLineErrorCounts(int fd, LineErrorCounts& counts);

}  // namespace zelvar
