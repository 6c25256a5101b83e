#include <cerrno>
#include <cstring>

#include "link/port_handles.h"

namespace zelvar {

namespace {

// Waits up to timeoutMs for one byte: 1 with the byte, 0 on time-out, -1 when the
// device has gone away.
int WaitForByte(PortHandle handle, uint8_t& out, int timeoutMs) {
    const long long deadline = PortNowMs() + timeoutMs;
    for (;;) {
        const int got = ReadAvailable(handle, &out, 1);
        if (got != 0) return got;
        const long long left = deadline - PortNowMs();
        if (left <= 0) return 0;
        const PortWait wait = WaitPort(handle, PortEvent::Readable, static_cast<int>(left));
        if (wait == PortWait::Lost) return -1;
        if (wait == PortWait::TimedOut) return ReadAvailable(handle, &out, 1);
    }
}

// A write that took nothing: waits up to retryMs for room in the output queue. False
// when the port is lost, or when nothing has moved for kWriteStallLostMs.
bool AwaitWriteRoom(PortHandle handle, long long lastProgress, int retryMs) {
    if (PortNowMs() - lastProgress >= kWriteStallLostMs) {
        MarkPortLost(handle, PortLoss::WriteStalled);
        return false;
    }
    return WaitPort(handle, PortEvent::Writable, retryMs) != PortWait::Lost;
}

// A write WriteAvailable failed: Lost when the error took the device away, otherwise
// Refused, and said once.
PortResult FailedWrite(PortHandle handle, int error) {
    if (IsPortLost(handle)) return {PortOutcome::Lost, error};
    NoteWriteRefused(handle, error);
    return {PortOutcome::Refused, error};
}

}  // namespace

int ReadPortBytes(PortHandle handle, uint8_t* buffer, int n) {
    if (!IsPortUsable(handle) || buffer == nullptr || n <= 0) return 0;
    ReportCommErrors(handle);
    // Like one read request under the port's time-outs: it ends when n bytes are in,
    // when the line falls silent for kReadIntervalMs after a byte, or after the total.
    const long long deadline =
        PortNowMs() + static_cast<long long>(n) * kReadTotalPerByteMs + kReadTotalConstantMs;
    int count = 0;
    while (count < n) {
        const int got = ReadAvailable(handle, buffer + count, n - count);
        if (got < 0) break;
        count += got;
        if (count == n) break;
        const long long left = deadline - PortNowMs();
        if (left <= 0) break;
        const long long wait = count > 0 && left > kReadIntervalMs ? kReadIntervalMs : left;
        const PortWait waited = WaitPort(handle, PortEvent::Readable, static_cast<int>(wait));
        if (waited == PortWait::Lost) break;
        if (waited == PortWait::TimedOut) {
            const int late = ReadAvailable(handle, buffer + count, n - count);
            if (late > 0) count += late;
            break;
        }
    }
    if (count > 0) buffer[count] = 0;
    return count;
}

int ReadPortByte(PortHandle handle, uint8_t& out, uint8_t prompt) {
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        if (!IsPortUsable(handle)) return 0;
        ReportCommErrors(handle);
        uint8_t byte = 0;
        int got = ReadAvailable(handle, &byte, 1);
        if (got == 0) {
            // An empty attempt prompts the receiver, then waits for its answer.
            if (prompt != 0) WritePortByte(handle, prompt);
            got = WaitForByte(handle, byte, kReadAttemptMs);
        }
        if (got < 0) return 0;
        if (got == 1) {
            out = byte;
            return 1;
        }
    }
    return 0;
}

PortResult WritePortByte(PortHandle handle, uint8_t byte) {
    const long long lastProgress = PortNowMs();
    while (IsPortUsable(handle)) {
        ReportCommErrors(handle);
        int error = 0;
        const int put = WriteAvailable(handle, &byte, 1, error);
        if (put > 0) return {};
        if (put < 0) return FailedWrite(handle, error);
        if (!AwaitWriteRoom(handle, lastProgress, kWriteByteRetryMs)) break;
    }
    return {PortOutcome::Lost, 0};
}

PortResult WritePortText(PortHandle handle, const void* bytes, int length) {
    if (!IsPortUsable(handle)) return {PortOutcome::Lost, 0};
    if (bytes == nullptr || length < 0) return {PortOutcome::Refused, EINVAL};
    const uint8_t* next = static_cast<const uint8_t*>(bytes);
    size_t remaining =
        length > 0 ? static_cast<size_t>(length) : std::strlen(static_cast<const char*>(bytes));
    if (remaining == 0) return {};
    ReportCommErrors(handle);
    long long lastProgress = PortNowMs();
    while (IsPortUsable(handle)) {
        const int chunk = remaining > 0x40000000u ? 0x40000000 : static_cast<int>(remaining);
        int error = 0;
        const int put = WriteAvailable(handle, next, chunk, error);
        if (put < 0) return FailedWrite(handle, error);
        if (put > 0) {
            next += put;
            remaining -= static_cast<size_t>(put);
            lastProgress = PortNowMs();
            if (remaining == 0) return {};
        }
        if (!AwaitWriteRoom(handle, lastProgress, kWriteTextRetryMs)) break;
    }
    return {PortOutcome::Lost, 0};
}

int ReadPortRaw(PortHandle handle, uint8_t* buffer, int n, int timeoutMs) {
    if (!IsPortUsable(handle) || buffer == nullptr) return -1;
    if (n <= 0) return 0;
    int got = ReadAvailable(handle, buffer, n);
    if (got != 0) return got;
    const long long deadline = PortNowMs() + (timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        const long long left = deadline - PortNowMs();
        if (left <= 0) return 0;
        const PortWait wait = WaitPort(handle, PortEvent::Readable, static_cast<int>(left));
        if (wait == PortWait::Lost) return -1;
        got = ReadAvailable(handle, buffer, n);
        if (got != 0 || wait == PortWait::TimedOut) return got;
    }
}

}  // namespace zelvar
