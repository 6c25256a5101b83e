// Private to the serial port code: the state of every open port, kept in a fixed table
// indexed by the handle so that the read and write paths never allocate, and what each
// platform's file provides beneath the port functions: opening and closing the device,
// its line speed and line errors, the waits and single non-blocking transfers that
// notice a device going away.
#pragma once

#include <cstdint>

#include "link/port.h"

namespace zelvar {

constexpr int kMaxPortHandles = 1024;  // handles at or above this are refused

// Why an open failed, in words a user can act on.
constexpr const char* kReasonNotFound = "device not found";
constexpr const char* kReasonBusy = "device busy (already open)";
constexpr const char* kReasonDenied = "permission denied";
constexpr const char* kReasonNotSerial = "not a serial device";
constexpr const char* kReasonTooMany = "too many open files";
constexpr const char* kReasonSettings = "the driver refused the line settings";

// Why a device counts as gone.
enum class PortLoss { HungUp, IoError, Removed, NotOpen, WriteStalled, Other };

// The handle fits the table (it may still be closed).
bool IsPortSlot(PortHandle handle);
// The handle was opened by OpenPort, is not closed and has not gone away.
bool IsPortUsable(PortHandle handle);
// A newly opened handle: open, not lost.
void ClaimPortSlot(PortHandle handle);
void ReleasePortSlot(PortHandle handle);

// Marks the handle lost; the first loss of a handle is shown in the status line.
void MarkPortLost(PortHandle handle, PortLoss loss);
// A write the driver turned down with error, the device still there: the first such
// refusal of an opened handle is shown in the status line, since its bytes were dropped.
void NoteWriteRefused(PortHandle handle, int error);
// A request on the handle failed with the system's error code: a device that is no
// longer there marks the handle lost.
void NoteRequestFailure(PortHandle handle, int error);

// The platform's side of opening and closing. OpenPortDevice opens path for this
// process alone, raw 8N1 at speed without flow control, modem lines dropped and both
// queues emptied; kInvalidPort with one of the reasons above (kReasonSettings when the
// driver refused the settings) when it cannot; the caller claims the slot. ClosePortDevice
// releases the slot and gives the device up, without waiting for the output of a lost
// device.
PortHandle OpenPortDevice(const char* path, int speed, const char*& reason);
void ClosePortDevice(PortHandle handle);
// Replaces only the line speed; false with the system's error code when the driver (or
// RefuseLineSpeedForTests) refuses it.
bool ApplyPortSpeed(PortHandle handle, int speed, int& error);
bool IsSpeedRefusedForTests(int speed);
// The line errors the device met since the last look on this handle; false where the
// device keeps none (a pty).
bool TakeLineErrors(PortHandle handle, uint32_t& mask);

enum class PortWait { Ready, TimedOut, Lost };
enum class PortEvent { Readable, Writable };
// Waits up to timeoutMs for the handle to become readable or writable. An error or a
// hang-up on the line without the wanted event marks the handle lost.
PortWait WaitPort(PortHandle handle, PortEvent event, int timeoutMs);
// One non-blocking read: bytes read, 0 when none are waiting, -1 when the device has
// gone away (the handle is marked lost).
int ReadAvailable(PortHandle handle, uint8_t* buffer, int n);
// One non-blocking write: bytes taken, 0 when the driver takes none now, -1 when the
// write failed with error (0 when the handle was not usable). A device that has gone
// away marks the handle lost; any other error leaves it usable.
int WriteAvailable(PortHandle handle, const uint8_t* bytes, int n, int& error);

}  // namespace zelvar
