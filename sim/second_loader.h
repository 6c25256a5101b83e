// The SFLD as the simulated receiver runs it: attention at 19200, then commands at
// 115200 (version, identification, boot mode, erase with its range frame and sector
// codes), data frames programmed into flash, and the end frame that writes the FW check
// word (and spoils a word on request) and returns the receiver to normal operation. Once
// the erase has begun only frames are taken; a failed pass brings the loader back at
// 19200, and the SFLD with it.
#pragma once

#include "sim/record_exchange.h"
#include "sim/sim_mode.h"

namespace zelvar::sim {

class CSecondLoader : public CSimMode, private IRecordSink {
  public:
    explicit CSecondLoader(CSimCore& core) : m_core(core), m_exchange(core, *this) {}
    void Enter() override;
    void OnByte(const RxByte& b) override;
    void OnTick(double now) override { m_exchange.Tick(now); }
    double Deadline() const override { return m_exchange.Deadline(); }

  private:
    enum class State { Attention, Commands, Range, Data };

    bool PayloadSizeAllowed(uint16_t size) const override;
    uint8_t AcceptFrame(const SimFrame& frame) override;
    void FrameAnswered(const SimFrame* frame, uint8_t answer) override;
    void BackToAttention();
    void Command(uint8_t command);
    void Erase();
    uint8_t Program(uint32_t address, const uint8_t* data, uint32_t count);
    void WriteFwCheckWord();
    void CorruptWord();

    CSimCore& m_core;
    CRecordExchange m_exchange;
    State m_state = State::Attention;
    bool m_bootMode = false;
    bool m_fastByteSeen = false;  // a byte came at 115200 since the attention answer
    uint32_t m_rangeFirst = 0;
    uint32_t m_rangeSecond = 0;
    int m_eraseFailsFired = 0;
    bool m_corruptWordFired = false;
    bool m_eraseUnknownFired = false;
};

}  // namespace zelvar::sim
