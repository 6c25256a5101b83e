// How long the flash programming's data frames are: as long as the image's records on a
// clean line, halved after each frame the receiver refused, doubled again after a run of
// clean frames. Every constant of the policy is here.
#pragma once

#include <cstdint>

#include "image/loader_record.h"

namespace zelvar {

constexpr uint16_t kFrameDataLongest = kFrameMaxData;  // a clean line's frames
constexpr uint16_t kFrameDataShortest = 256;           // never halved below this
constexpr int kCleanFramesToGrow = 32;                 // accepted unrefused frames per doubling

class CFrameLength {
  public:
    // Data bytes the next frame carries at most.
    uint16_t Limit() const { return m_limit; }
    // What the receiver made of the last frame: refused it refusals times, then took it.
    void Update(int refusals) {
        if (refusals > 0) {
            for (int i = 0; i < refusals && m_limit > kFrameDataShortest; ++i) m_limit /= 2;
            m_cleanRun = 0;
            return;
        }
        if (m_limit == kFrameDataLongest || ++m_cleanRun < kCleanFramesToGrow) return;
        m_limit *= 2;
        m_cleanRun = 0;
    }

  private:
    uint16_t m_limit = kFrameDataLongest;
    int m_cleanRun = 0;  // frames taken without a refusal since the last change
};

}  // namespace zelvar
