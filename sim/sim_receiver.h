// The simulated GPS receiver on the master side of a pseudo-terminal, run on a thread of
// its own: Start, then open SlavePath() (or the link) as the serial device, then Stop.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/line_faults.h"
#include "sim/sim_options.h"
#include "sim/sim_trace.h"

namespace zelvar::sim {

class CSimCore;
class CSimMode;

class CSimReceiver {
  public:
    explicit CSimReceiver(const SimOptions& options);
    ~CSimReceiver();
    CSimReceiver(const CSimReceiver&) = delete;
    CSimReceiver& operator=(const CSimReceiver&) = delete;

    // Loads the flash, creates the pty and the link and starts the thread.
    bool Start(std::string& error);
    // Ends the thread, writes the flash out (when asked to) and closes the line.
    void Stop();

    const std::string& SlavePath() const { return m_slavePath; }
    const std::string& LinkPath() const { return m_linkPath; }
    SimMode Mode() const;
    int Programmings() const;  // programming passes completed

    std::vector<uint8_t> Flash() const;  // from the flash's first address
    uint32_t FlashWord(uint32_t address) const;
    std::vector<TraceEntry> Trace() const;
    double NowMs() const;  // the clock of the trace: milliseconds since the receiver started
    bool WaitForEvent(const std::string& prefix, int timeoutMs) const;
    size_t CountEvents(const std::string& prefix) const;

    // Bytes the line faults changed or lost, by direction.
    SimLineStats LineStats() const;
    // Bytes changed or lost by bit errors, both directions (not the byte dropped on
    // request): one per "line error" event.
    uint64_t LineErrors() const;
    // CRC-32 of the SFLD the resident loader last started (SfldCrc32 in
    // sim/sim_checksum.h); 0 before a start.
    uint32_t SfldChecksum() const;

  private:
    struct RxSlot {
        uint8_t byte;
        uint32_t lineSpeed;
        double due;
    };
    void Run();
    void ReadLine(double now);
    void Dispatch(const RxSlot& slot);
    void ApplyModeChange();
    void Vanish();
    double NextDeadline() const;
    CSimMode* Current() const;

    std::unique_ptr<CSimCore> m_core;
    std::unique_ptr<CSimMode> m_modes[3];
    std::vector<RxSlot> m_rx;  // ring, sized once at start
    size_t m_rxHead = 0;
    size_t m_rxCount = 0;
    double m_rxFree = 0;  // when the line is free for the next incoming byte (pacing)
    uint64_t m_received = 0;
    std::string m_slavePath;
    std::string m_linkPath;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_wake[2] = {-1, -1};
    bool m_started = false;
};

}  // namespace zelvar::sim
