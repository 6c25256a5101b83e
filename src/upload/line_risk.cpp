#include "upload/line_risk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/flash_map.h"

namespace zelvar {

CLineRisk g_programmingRisk;

namespace {

constexpr double kBitsPerByte = 10;          // start bit, 8 data bits, stop bit
constexpr int kFrameBytesBesidePayload = 6;  // '[', length, check word, ']'
constexpr int kLanes = 16;                   // bits of one check word
// The rate is looked for between these, halving the interval (on a log scale) this often.
constexpr double kRateLow = 1e-12;
constexpr double kRateHigh = 0.05;
constexpr int kRateSteps = 60;

// Pairs among n things.
double Pairs(double n) {
    return n * (n - 1) / 2;
}

}  // namespace

void CLineRisk::CountFrame(uint16_t wireBytes, uint16_t dataBytes, uint32_t address,
                           const FrameReport& report) {
    if (wireBytes >= m_refusedByLength.size()) return;
    m_refused += static_cast<uint32_t>(report.refusals);
    m_refusedByLength[wireBytes] += static_cast<uint32_t>(report.refusals);
    if (!report.accepted) return;
    ++m_accepted;
    m_acceptedBits += wireBytes * kBitsPerByte;
    // The check word covers the payload's words and itself: two flips in the same bit of
    // two of those words cancel out.
    const int words = (wireBytes - kFrameBytesBesidePayload) / 2 + 1;
    m_lanePairs += kLanes * Pairs(words);
    if (dataBytes == 0) return;
    if (address >= kFwBase) {
        // Two 16-bit words an even number apart put their bits into the same lane of the
        // section's 32-bit sum.
        m_fwLanePairs += kLanes * Pairs(words);
        m_fwSumLanePairs += kLanes * (Pairs((words + 1) / 2) + Pairs(words / 2));
        m_fwDataEnd = std::max(m_fwDataEnd, address + dataBytes);
    }
    ++m_dataFrames;
    m_dataBytes += dataBytes;
}

double CLineRisk::MeanFrameBytes() const {
    return m_dataFrames == 0 ? 0 : static_cast<double>(m_dataBytes) / m_dataFrames;
}

// Maximum likelihood: a write of b bits is refused with 1 - exp(-b p). The likelihood's
// slope, sum over refused writes of b / (exp(b p) - 1) less the accepted writes' bits,
// falls with p; its zero is found by bisection.
double CLineRisk::BitErrorRate() const {
    if (m_refused == 0) return 0;
    auto slope = [this](double p) {
        double s = -m_acceptedBits;
        for (std::size_t bytes = 0; bytes < m_refusedByLength.size(); ++bytes) {
            if (m_refusedByLength[bytes] == 0) continue;
            const double b = bytes * kBitsPerByte;
            s += m_refusedByLength[bytes] * b / std::expm1(b * p);
        }
        return s;
    };
    double low = std::log(kRateLow);
    double high = std::log(kRateHigh);
    if (slope(kRateHigh) > 0) return kRateHigh;
    for (int i = 0; i < kRateSteps; ++i) {
        const double mid = (low + high) / 2;
        (slope(std::exp(mid)) > 0 ? low : high) = mid;
    }
    return std::exp((low + high) / 2);
}

double CLineRisk::UndetectedChance() const {
    const double p = BitErrorRate();
    return -std::expm1(-m_lanePairs * p * p);
}

double CLineRisk::UndetectedChanceAfterFwCheck(uint32_t checkWordAddress) const {
    if (m_fwDataEnd > checkWordAddress) return UndetectedChance();
    const double p = BitErrorRate();
    return -std::expm1(-(m_lanePairs - m_fwLanePairs + m_fwSumLanePairs) * p * p);
}

double RoundedOneIn(double chance) {
    if (chance <= 0) return 0;
    double k = 1 / chance;
    if (k >= 100) {
        const double scale = std::pow(10, std::floor(std::log10(k)) - 1);
        k = std::round(k / scale) * scale;
    }
    return k < 1 ? 1 : std::round(k);
}

void FormatLineRisk(const CLineRisk& risk, char* text, std::size_t size) {
    const unsigned sent = risk.FramesSent();
    const unsigned refused = risk.FramesRefused();
    const double mean = risk.MeanFrameBytes();
    const double chance = risk.UndetectedChance();
    if (refused == 0 || chance <= 0) {
        std::snprintf(text, size, "The line refused %u of %u frames (mean %.0f data bytes).",
                      refused, sent, mean);
        return;
    }
    std::snprintf(text, size,
                  "The line refused %u of %u frames (mean %.0f data bytes); an error the frame "
                  "check cannot see is possible (about 1 in %.0f).",
                  refused, sent, mean, RoundedOneIn(chance));
}

void FormatNotVouched(const CLineRisk& risk, double chance, char* text, std::size_t size) {
    std::snprintf(text, size,
                  "the line refused %u of %u frames; an error the checks cannot see is possible "
                  "(about 1 in %.0f): check the cable and flash again, or read the flash back "
                  "in full",
                  risk.FramesRefused(), risk.FramesSent(), RoundedOneIn(chance));
}

}  // namespace zelvar
