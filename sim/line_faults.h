// Bit errors on the receiver's serial line: every bit of a byte's 10-bit UART frame (start
// bit, 8 data bits, stop bit) flips with a given rate. A flipped data bit changes the
// byte; a flipped start or stop bit loses it. The distance to the next flipped bit is drawn
// once per error, so a low rate costs next to nothing per byte.
#pragma once

#include <atomic>
#include <cstdint>
#include <random>

namespace zelvar::sim {

// What the line did to one byte.
struct LineHit {
    uint8_t value = 0;  // the byte as it arrives (when not lost)
    bool changed = false;
    bool lost = false;
};

class CBitErrors {
  public:
    CBitErrors(double rate, uint64_t seed);
    bool Active() const { return m_rate > 0; }
    LineHit Pass(uint8_t value);

  private:
    uint64_t DrawGap();  // good bits before the next flipped one

    double m_rate;
    std::mt19937_64 m_random;
    uint64_t m_gap = 0;
};

// Bytes the line changed or lost, in both directions.
struct SimLineStats {
    uint64_t changedIn = 0;
    uint64_t lostIn = 0;
    uint64_t changedOut = 0;
    uint64_t lostOut = 0;
    uint64_t droppedIn = 0;  // the byte lost on request (dropByteIn)
    uint64_t LineErrors() const { return changedIn + lostIn + changedOut + lostOut; }
};

// Both directions' bit errors with their counts, which other threads may read.
class CLineFaults {
  public:
    CLineFaults(double rateIn, double rateOut, uint32_t seed);
    LineHit In(uint8_t value);
    LineHit Out(uint8_t value);
    void CountDropped() { ++m_droppedIn; }
    SimLineStats Stats() const;

  private:
    CBitErrors m_in;
    CBitErrors m_out;
    std::atomic<uint64_t> m_changedIn{0};
    std::atomic<uint64_t> m_lostIn{0};
    std::atomic<uint64_t> m_changedOut{0};
    std::atomic<uint64_t> m_lostOut{0};
    std::atomic<uint64_t> m_droppedIn{0};
};

}  // namespace zelvar::sim
