// What every part of the simulated receiver shares: its options, flash, line speed,
// outgoing byte queue, trace, fault state and the switch between its modes.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>

#include "sim/line_faults.h"
#include "sim/sim_flash.h"
#include "sim/sim_line.h"
#include "sim/sim_options.h"
#include "sim/sim_trace.h"

namespace zelvar::sim {

constexpr double kNever = std::numeric_limits<double>::infinity();

// One byte as the receiver's UART took it.
struct RxByte {
    uint8_t value = 0;       // what the receiver got (a pseudo-random byte for junk)
    uint8_t meant = 0;       // what the loader sent
    bool junk = false;       // sent at another speed than the receiver's: a framing error
    uint32_t lineSpeed = 0;  // the loader's speed when it sent the byte
    double timeMs = 0;       // when the receiver acts on it
};

class CSimCore {
  public:
    explicit CSimCore(const SimOptions& options);

    const SimOptions& Options() const { return m_options; }
    CSimLine& Line() { return m_line; }
    CSimTrace& Trace() { return m_trace; }
    CSimFlash& Flash() { return m_flash; }
    std::mutex& FlashMutex() { return m_flashMutex; }

    double Now() const;
    uint32_t Speed() const { return m_speed; }
    void SetSpeed(uint32_t speed);
    SimMode Mode() const { return m_mode.load(); }
    // Takes effect when the current byte or tick has been handled.
    void EnterMode(SimMode mode);
    bool TakeModeChange(SimMode& mode);

    // Outgoing bytes at the receiver's current speed, not before delayMs from now, in
    // order; with pacing each one takes its time on the line.
    void Send(const uint8_t* bytes, size_t size, double delayMs = 0);
    void SendByte(uint8_t byte, double delayMs = 0) { Send(&byte, 1, delayMs); }
    void SendText(const std::string& text) {
        Send(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    double NextSendTime() const;
    // Writes every queued byte that is due.
    void FlushDue(double now);

    void Event(const std::string& text);
    uint8_t JunkByte();

    // Faults.
    int NextFrameNumber() { return ++m_frames; }
    // True (once) when this handshake is the one not to be heard: it would arm the
    // frame the fault names.
    bool MissThisHandshake();
    // A loader runs: line faults apply to the bytes received and sent.
    bool LoaderRuns() const;
    // Received byte number (from start) as it comes off the line: bit errors, the byte
    // lost on request. Traced.
    LineHit LineIn(uint64_t number, uint8_t value);
    SimLineStats LineStats() const { return m_lineFaults.Stats(); }
    void BeginSilence();
    bool Silent(double now) const { return now < m_silentUntil; }
    void Programmed();  // a programming pass has ended: save the flash, count it
    int Programmings() const { return m_programmings.load(); }
    // The resident loader has started the SFLD it holds; checksum as SfldChecksum().
    void SfldStarted(uint32_t checksum) { m_sfldChecksum = checksum; }
    uint32_t SfldChecksum() const { return m_sfldChecksum.load(); }

  private:
    struct TxSlot {
        uint8_t byte;
        uint32_t speed;
        double due;
        bool loader;  // queued while a loader ran: line faults apply
    };
    void WriteSlot(const TxSlot& slot);
    bool LineOut(TraceEntry& entry);  // false when the byte is lost

    SimOptions m_options;
    CSimLine m_line;
    CSimTrace m_trace;
    CSimFlash m_flash;
    std::mutex m_flashMutex;
    std::chrono::steady_clock::time_point m_start;
    uint32_t m_speed;
    std::atomic<SimMode> m_mode{SimMode::Normal};
    bool m_modeChanged = false;
    std::array<TxSlot, kTxRingSize> m_tx{};
    size_t m_txHead = 0;  // next slot to write
    size_t m_txCount = 0;
    double m_txFree = 0;  // when the line is free for the next outgoing byte
    uint32_t m_junkState;
    int m_frames = 0;
    bool m_handshakeMissed = false;
    CLineFaults m_lineFaults;
    std::atomic<uint32_t> m_sfldChecksum{0};
    double m_silentUntil = -1;
    std::atomic<int> m_programmings{0};
};

double ByteTimeMs(uint32_t speed);

}  // namespace zelvar::sim
