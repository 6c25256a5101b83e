// The programming progress shown on a terminal: percent, bytes, rate and time left,
// computed from the data frames the receiver has accepted.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zelvar::cli {

struct ProgressSnapshot {
    uint32_t done = 0;
    uint32_t total = 0;
    double bytesPerSecond = -1;  // negative: not known yet
    double secondsLeft = -1;     // negative: not known yet
};

class CProgressMeter {
  public:
    using Clock = std::chrono::steady_clock;

    // One accepted frame: done of total bytes. A done below the last one starts a new
    // programming pass (the upload loop retried), and the rate is measured afresh.
    void Update(uint32_t done, uint32_t total, Clock::time_point now);
    ProgressSnapshot Snapshot() const { return m_snapshot; }
    bool Active() const { return m_active; }
    void Reset() { *this = CProgressMeter(); }

  private:
    bool m_active = false;
    uint32_t m_firstDone = 0;
    Clock::time_point m_firstTime{};
    ProgressSnapshot m_snapshot;
};

// "[#####-----]  50%  64.0/128.0 KiB  11.2 KiB/s  0:06 left", cut to width columns.
std::string FormatProgressBar(const ProgressSnapshot& progress, int width);
// "65536/131072 bytes (50%)": the text of a progress step in JSON output.
std::string FormatProgressText(uint32_t done, uint32_t total);
// Whole percent of done in total, 0..100 (100 for an empty total).
int ProgressPercent(uint32_t done, uint32_t total);

}  // namespace zelvar::cli
