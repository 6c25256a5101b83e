#include "sim/line_faults.h"

#include <cmath>

#include "sim/sim_constants.h"

namespace zelvar::sim {

namespace {

constexpr uint64_t kLongestGap = uint64_t{1} << 62;  // "no error for a very long time"
constexpr uint32_t kStartBit = 1u << 0;
constexpr uint32_t kStopBit = 1u << (kBitsPerByte - 1);
constexpr uint64_t kStreamIn = 1;  // each direction has a generator of its own
constexpr uint64_t kStreamOut = 2;

uint64_t StreamSeed(uint32_t seed, uint64_t stream) {
    std::seed_seq sequence{seed, static_cast<uint32_t>(stream)};
    uint32_t words[2];
    sequence.generate(words, words + 2);
    return static_cast<uint64_t>(words[0]) << 32 | words[1];
}

void Count(const LineHit& hit, std::atomic<uint64_t>& changed, std::atomic<uint64_t>& lost) {
    if (hit.lost) {
        ++lost;
    } else if (hit.changed) {
        ++changed;
    }
}

}  // namespace

CBitErrors::CBitErrors(double rate, uint64_t seed) : m_rate(rate), m_random(seed) {
    if (Active()) {
        m_gap = DrawGap();
    }
}

uint64_t CBitErrors::DrawGap() {
    if (m_rate >= 1) {
        return 0;
    }
    // Bits until the next error follow a geometric distribution: invert it from a
    // uniform number in (0, 1].
    double uniform = (static_cast<double>(m_random() >> 11) + 1) * 0x1.0p-53;
    double gap = std::floor(std::log(uniform) / std::log1p(-m_rate));
    return gap >= static_cast<double>(kLongestGap) ? kLongestGap : static_cast<uint64_t>(gap);
}

LineHit CBitErrors::Pass(uint8_t value) {
    LineHit hit;
    hit.value = value;
    if (!Active()) {
        return hit;
    }
    uint32_t flipped = 0;  // bit 0 the start bit, 1..8 the data bits from the lowest, 9 stop
    uint64_t position = 0;
    while (m_gap < kBitsPerByte - position) {
        position += m_gap;
        flipped |= 1u << position;
        ++position;
        m_gap = DrawGap();
    }
    m_gap -= kBitsPerByte - position;
    hit.lost = (flipped & (kStartBit | kStopBit)) != 0;
    hit.value = static_cast<uint8_t>(value ^ ((flipped >> 1) & 0xFF));
    hit.changed = hit.value != value;
    return hit;
}

CLineFaults::CLineFaults(double rateIn, double rateOut, uint32_t seed)
    : m_in(rateIn, StreamSeed(seed, kStreamIn)), m_out(rateOut, StreamSeed(seed, kStreamOut)) {}

LineHit CLineFaults::In(uint8_t value) {
    LineHit hit = m_in.Pass(value);
    Count(hit, m_changedIn, m_lostIn);
    return hit;
}

LineHit CLineFaults::Out(uint8_t value) {
    LineHit hit = m_out.Pass(value);
    Count(hit, m_changedOut, m_lostOut);
    return hit;
}

SimLineStats CLineFaults::Stats() const {
    SimLineStats stats;
    stats.changedIn = m_changedIn.load();
    stats.lostIn = m_lostIn.load();
    stats.changedOut = m_changedOut.load();
    stats.lostOut = m_lostOut.load();
    stats.droppedIn = m_droppedIn.load();
    return stats;
}

}  // namespace zelvar::sim
