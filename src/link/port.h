// The serial port: raw 8N1 on termios, no flow control, DTR and RTS dropped. All
// receiver traffic passes through these free functions. Waits are event-driven: an
// attempt that the protocol allows 100 ms returns the moment a byte arrives.
//
// A device that goes away (adapter unplugged, pty master closed) marks its handle
// lost: the loss is shown once in the status line, and every later operation on the
// handle returns at once. Callers' loops ask IsPortLost to end.
//
// Writes and line-speed changes say what they came to (PortResult): a request the
// driver turns down leaves the port usable and comes back Refused with its errno.
#pragma once

#include <cstdint>

namespace zelvar {

using PortHandle = int;
constexpr PortHandle kInvalidPort = -1;

// Timing of the retry loops (milliseconds).
constexpr int kReadAttempts = 10;         // attempts of ReadPortByte
constexpr int kReadAttemptMs = 100;       // one attempt's wait
constexpr int kWriteByteRetryMs = 10;     // WritePortByte between refused writes
constexpr int kWriteTextRetryMs = 1;      // WritePortText between partial writes
constexpr int kSpeedChangeSettleMs = 10;  // SetPortSpeed after draining
constexpr int kWriteStallLostMs = 5000;   // a write without progress this long: lost
constexpr int kReadIntervalMs = 1;        // ReadPortBytes: longest gap between two bytes
constexpr int kReadTotalPerByteMs = 1;    // ReadPortBytes: total wait per byte asked for
constexpr int kReadTotalConstantMs = 1;   // ReadPortBytes: total wait on top of that
constexpr int kDrainPollMs = 5;           // DrainPort: between looks at the output queue

// The line speeds OpenPort accepts (bit/s). SetPortSpeed leaves the judgement to the
// driver.
constexpr int kPortSpeeds[] = {4800, 9600, 19200, 38400, 57600, 115200};

// What a write or a line-speed change came to. Refused: the driver turned the request
// down and the port stays usable. Lost: the device has gone away (or the handle names
// no open port, or writes stalled); the loss has been shown. error is the errno of the
// failed request, 0 where there was none (the handle was lost before, a write stalled).
enum class PortOutcome { Ok, Refused, Lost };
struct PortResult {
    PortOutcome outcome = PortOutcome::Ok;
    int error = 0;

    bool Ok() const { return outcome == PortOutcome::Ok; }
    bool Refused() const { return outcome == PortOutcome::Refused; }
};

// Purge flags, as the protocol layer asks for them.
constexpr unsigned PURGE_TXABORT = 0x01;
constexpr unsigned PURGE_RXABORT = 0x02;
constexpr unsigned PURGE_TXCLEAR = 0x04;
constexpr unsigned PURGE_RXCLEAR = 0x08;

// Line-error bits.
constexpr uint32_t CE_RXOVER = 0x01;
constexpr uint32_t CE_OVERRUN = 0x02;
constexpr uint32_t CE_RXPARITY = 0x04;
constexpr uint32_t CE_FRAME = 0x08;
constexpr uint32_t CE_BREAK = 0x10;
constexpr uint32_t CE_TXFULL = 0x100;

// "GPS1:" and "GPS2:" name /dev/gps1 and /dev/gps2 (exactly these spellings; a udev
// rule or a symbolic link gives the receiver's device that name); anything else is a
// path and is used as it is. Writes the device path into out (size bytes); false when
// the name is empty or the path does not fit.
bool ResolvePortName(const char* name, char* out, int size);

PortHandle OpenPort(const char* deviceName, int speed);
void ClosePort(PortHandle& handle);
// Drains the output, then changes the line speed and throws away what was received.
// Refused (EINVAL) for a speed the driver cannot generate; the old speed stays.
[[nodiscard]] PortResult SetPortSpeed(PortHandle handle, int speed);
// SetPortSpeed for a step that cannot go on at another speed: a refusal is also shown
// in the status line ("Line speed 115200 refused by the serial port."), and the caller
// ends its step on Refused(). A lost port is left to the step's own loss checks.
[[nodiscard]] PortResult ChangeLineSpeed(PortHandle handle, int speed);
uint32_t ReportCommErrors(PortHandle handle);
int ReadPortBytes(PortHandle handle, uint8_t* buffer, int n);
int ReadPortByte(PortHandle handle, uint8_t& out, uint8_t prompt);
// Both wait while the driver's queue is full. Ok once everything was taken; Refused when
// the driver turned a write down with an errno other than a device's loss: the bytes not
// yet taken are dropped, and the first refusal of an opened port is shown in the status
// line as "Serial write refused: <the system's words>". Lost when the device went away or
// writes stalled for kWriteStallLostMs. WritePortText sends length bytes, or up to the
// terminating zero when length is 0 (nothing for an empty text); a null text or a
// negative length is Refused (EINVAL) without a write, and without the status line.
PortResult WritePortByte(PortHandle handle, uint8_t byte);
PortResult WritePortText(PortHandle handle, const void* bytes, int length);

// The platform's direct requests on an open handle. PurgePort empties the queues named
// by the clear flags; transfers are synchronous, so the abort flags have nothing to end.
// DrainPort waits until queued output has been sent; an output queue that stands still
// for kWriteStallLostMs marks the handle lost.
void PurgePort(PortHandle handle, unsigned flags);
void DrainPort(PortHandle handle);
// One direct read of up to n bytes that waits at most timeoutMs for the first byte.
// Returns the count, 0 on time-out, -1 on failure (lost port).
int ReadPortRaw(PortHandle handle, uint8_t* buffer, int n, int timeoutMs);

// The device behind handle has gone away (or stalled writes for kWriteStallLostMs).
// A handle that names no open port (kInvalidPort included) counts as lost: there is
// nothing to talk to, and every operation on it returns at once.
bool IsPortLost(PortHandle handle);

// Milliseconds of the monotonic clock every wait on the line is measured by; callers that
// bound their own waits (silence since the last byte) use the same clock.
long long PortNowMs();

// Why the last OpenPort failed, in words a user can act on ("device not found",
// "device busy", "permission denied", ...); empty after a successful open.
const char* LastPortOpenError();

// Reports the line-error mask exactly as ReportCommErrors does; exposed so the
// reporting can be tested with a given mask.
void ReportCommErrorMask(uint32_t mask);

}  // namespace zelvar
