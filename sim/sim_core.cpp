#include "sim/sim_core.h"

#include <algorithm>
#include <cstdio>

#include "sim/sim_constants.h"

namespace zelvar::sim {

namespace {

// Bytes the loader acts on; junk never takes these values, so a run never depends on
// the seed (the loader still sees bytes it does not expect).
bool IsProtocolByte(uint8_t b) {
    switch (b) {
        case 0x07:
        case 0x24:
        case 0x41:
        case 0x44:
        case 0x45:
        case 0x52:
        case 0x55:
        case 0x5B:
        case 0x5D:
        case 0x77:
        case 0x81:
        case 0x82:
        case 0x83:
        case 0x84:
        case 0x85:
        case 0x88:
        case 0x8F:
        case 0x90:
        case 0x91:
            return true;
        default:
            return false;
    }
}

std::string Hex2(uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

}  // namespace

double ByteTimeMs(uint32_t speed) {
    return speed == 0 ? 0.0 : 1000.0 * kBitsPerByte / speed;
}

CSimCore::CSimCore(const SimOptions& options)
    : m_options(options),
      m_start(std::chrono::steady_clock::now()),
      m_speed(options.normalSpeed),
      m_junkState(options.seed == 0 ? 0x9E3779B9u : options.seed),
      m_lineFaults(options.faults.bitErrorRateIn, options.faults.bitErrorRateOut, options.seed) {}

double CSimCore::Now() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start)
        .count();
}

void CSimCore::SetSpeed(uint32_t speed) {
    if (speed != m_speed) {
        m_speed = speed;
        Event("speed " + std::to_string(speed));
    }
}

void CSimCore::EnterMode(SimMode mode) {
    m_mode.store(mode);
    m_modeChanged = true;
}

bool CSimCore::TakeModeChange(SimMode& mode) {
    if (!m_modeChanged) {
        return false;
    }
    m_modeChanged = false;
    mode = m_mode.load();
    return true;
}

void CSimCore::Send(const uint8_t* bytes, size_t size, double delayMs) {
    double now = Now();
    for (size_t i = 0; i < size; ++i) {
        if (m_txCount == m_tx.size()) {
            Event("send queue full, byte dropped");
            continue;
        }
        double start = std::max(now + delayMs, m_txFree);
        double due = m_options.pace ? start + ByteTimeMs(m_speed) : start;
        m_txFree = due;
        m_tx[(m_txHead + m_txCount) % m_tx.size()] = TxSlot{bytes[i], m_speed, due, LoaderRuns()};
        ++m_txCount;
    }
}

double CSimCore::NextSendTime() const {
    return m_txCount == 0 ? kNever : m_tx[m_txHead].due;
}

void CSimCore::FlushDue(double now) {
    while (m_txCount > 0 && m_tx[m_txHead].due <= now) {
        TxSlot slot = m_tx[m_txHead];
        m_txHead = (m_txHead + 1) % m_tx.size();
        --m_txCount;
        WriteSlot(slot);
    }
}

void CSimCore::WriteSlot(const TxSlot& slot) {
    TraceEntry entry;
    entry.timeMs = Now();
    entry.kind = TraceKind::Sent;
    entry.meant = slot.byte;
    entry.byte = slot.byte;
    entry.simSpeed = slot.speed;
    entry.lineSpeed = m_line.LineSpeed();
    const SimFaults& faults = m_options.faults;
    if (Silent(entry.timeMs)) {
        entry.text = "silent";
    } else if (faults.answerOnlyAtSpeed != 0 && slot.speed != faults.answerOnlyAtSpeed) {
        entry.text = "muted";
    } else {
        entry.junk = entry.lineSpeed != slot.speed;
        bool arrives = true;
        if (entry.junk) {
            entry.byte = JunkByte();
        } else if (slot.loader) {
            arrives = LineOut(entry);
        }
        if (arrives && !m_line.Write(entry.byte)) {
            entry.text = "overrun";
        }
    }
    m_trace.Add(std::move(entry));
}

bool CSimCore::LineOut(TraceEntry& entry) {
    LineHit hit = m_lineFaults.Out(entry.byte);
    if (hit.lost) {
        Event("line error, byte lost (out, " + Hex2(entry.byte) + ")");
        entry.text = "line error, lost";
    } else if (hit.changed) {
        Event("line error out: " + Hex2(entry.byte) + " as " + Hex2(hit.value));
        entry.byte = hit.value;
        entry.text = "line error";
    }
    return !hit.lost;
}

bool CSimCore::LoaderRuns() const {
    SimMode mode = m_mode.load();
    return mode == SimMode::ResidentLoader || mode == SimMode::SecondLoader;
}

LineHit CSimCore::LineIn(uint64_t number, uint8_t value) {
    LineHit hit;
    hit.value = value;
    if (!LoaderRuns()) {
        return hit;
    }
    std::string which = "byte " + std::to_string(number);
    if (m_options.faults.dropByteIn == number) {
        m_lineFaults.CountDropped();
        Event(which + " lost");
        hit.lost = true;
        return hit;
    }
    hit = m_lineFaults.In(value);
    if (hit.lost) {
        Event("line error, byte lost (in, " + which + ", " + Hex2(value) + ")");
    } else if (hit.changed) {
        Event("line error in: " + which + " " + Hex2(value) + " as " + Hex2(hit.value));
    }
    return hit;
}

bool CSimCore::MissThisHandshake() {
    int frame = m_options.faults.missHandshakeFrame;
    if (frame <= 0 || m_handshakeMissed || m_frames != frame - 1) {
        return false;
    }
    m_handshakeMissed = true;
    Event("handshake for frame " + std::to_string(frame) + " not heard");
    return true;
}

void CSimCore::Event(const std::string& text) {
    TraceEntry entry;
    entry.timeMs = Now();
    entry.kind = TraceKind::Event;
    entry.simSpeed = m_speed;
    entry.text = text;
    m_trace.Add(std::move(entry));
}

uint8_t CSimCore::JunkByte() {
    for (;;) {
        // xorshift32
        m_junkState ^= m_junkState << 13;
        m_junkState ^= m_junkState >> 17;
        m_junkState ^= m_junkState << 5;
        uint8_t b = static_cast<uint8_t>(m_junkState >> 24);
        if (!IsProtocolByte(b)) {
            return b;
        }
    }
}

void CSimCore::BeginSilence() {
    int ms = m_options.faults.silenceMs;
    m_silentUntil = ms > 0 ? Now() + ms : kNever;
    Event(ms > 0 ? "silence " + std::to_string(ms) + " ms" : "silence for good");
}

void CSimCore::Programmed() {
    ++m_programmings;
    if (!m_options.flashOut.empty()) {
        std::string error;
        std::lock_guard<std::mutex> lock(m_flashMutex);
        if (!m_flash.Save(m_options.flashOut, error)) {
            Event("flash-out: " + error);
        }
    }
}

}  // namespace zelvar::sim
