// What the flash programming's frames tell about the line: how many the receiver took and
// refused, and from the refusals the chance that a frame it took holds an error its 16-bit
// exclusive-or check word cannot see (two flips in one bit lane of the frame). Kept for
// the whole job; read once the job has ended.
#pragma once

#include <array>
#include <cstdint>

#include "image/loader_record.h"
#include "upload/record_protocol.h"

namespace zelvar {

class CLineRisk {
  public:
    void Reset() { *this = CLineRisk{}; }
    // One frame of wireBytes bytes carrying dataBytes data bytes from address, and what
    // became of it.
    void CountFrame(uint16_t wireBytes, uint16_t dataBytes, uint32_t address,
                    const FrameReport& report);

    // Every write the receiver answered: taken or refused.
    uint32_t FramesSent() const { return m_accepted + m_refused; }
    uint32_t FramesRefused() const { return m_refused; }
    // Data bytes per accepted data frame (0 before the first).
    double MeanFrameBytes() const;
    // The bit error rate on the way in that best explains the refusals (0 without any).
    double BitErrorRate() const;
    // The chance that at least one accepted frame holds an error the check word misses.
    double UndetectedChance() const;
    // The same once the receiver's FW check word, the exclusive-or of the FW section's
    // 32-bit words up to checkWordAddress, matched the image's: of the frames with data in
    // the FW section only the pairs of flips in one lane of that sum stay unseen (16-bit
    // words an even number apart). Data beyond the check word lie outside the sum: then
    // the match vouches for nothing.
    double UndetectedChanceAfterFwCheck(uint32_t checkWordAddress) const;

  private:
    std::array<uint32_t, kFrameBufferBytes> m_refusedByLength{};  // refused writes
    double m_acceptedBits = 0;
    double m_lanePairs = 0;  // over accepted frames: word pairs that share a bit lane
    // Over accepted frames with data in the FW section: all such pairs, and those the FW
    // check word cannot see either; the end of the data they carried.
    double m_fwLanePairs = 0;
    double m_fwSumLanePairs = 0;
    uint32_t m_fwDataEnd = 0;
    uint32_t m_accepted = 0;
    uint32_t m_refused = 0;
    uint32_t m_dataFrames = 0;
    uint64_t m_dataBytes = 0;
};

// The current or last job's flash programming.
extern CLineRisk g_programmingRisk;

// K of "about 1 in K" for chance, to two significant digits (0 for no chance).
double RoundedOneIn(double chance);
// The figures as one message line (the end of programming says it).
void FormatLineRisk(const CLineRisk& risk, char* text, std::size_t size);
// Why a programmed flash is not vouched for, with chance the risk left after the checks
// ("the line refused 3 of 140 frames; an error the checks cannot see is possible
// (about 1 in 4200): check the cable and flash again, or read the flash back in full").
void FormatNotVouched(const CLineRisk& risk, double chance, char* text, std::size_t size);

}  // namespace zelvar
