// Normal operation: proprietary query sentences answered at the receiver's normal speed,
// optional NMEA-like output, and the boot request that wakes the resident loader.
#pragma once

#include <string>

#include "sim/sim_mode.h"

namespace zelvar::sim {

class CNormalMode : public CSimMode {
  public:
    explicit CNormalMode(CSimCore& core) : m_core(core) {}
    void Enter() override;
    void OnByte(const RxByte& b) override;
    void OnTick(double now) override;
    double Deadline() const override;

  private:
    void HandleSentence();
    void Reply(const std::string& body);
    std::string Answer(const std::string& kind, const std::string& command,
                       const std::string& argument) const;

    CSimCore& m_core;
    std::string m_sentence;  // from its "$", at most kMaxSentence bytes
    bool m_inSentence = false;
    size_t m_bootMatched = 0;
    double m_nextNoiseMs = kNever;
    unsigned m_noiseIndex = 0;
};

}  // namespace zelvar::sim
