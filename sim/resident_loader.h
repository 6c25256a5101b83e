// The receiver's resident flash loader (PFLD) at 19200 bit/s: the loader probe "$A",
// short memory reads "$R<addr>", the byte dialogue ("$VER" text, the 0x44/0x45 steps,
// REC_WAIT) and the SFLD taken in loader record frames into RAM, started by the end frame.
#pragma once

#include <array>
#include <string>

#include "sim/record_exchange.h"
#include "sim/sim_mode.h"

namespace zelvar::sim {

class CResidentLoader : public CSimMode, private IRecordSink {
  public:
    explicit CResidentLoader(CSimCore& core) : m_core(core), m_exchange(core, *this) {}
    void Enter() override;
    void OnByte(const RxByte& b) override;
    void OnTick(double now) override { m_exchange.Tick(now); }
    double Deadline() const override { return m_exchange.Deadline(); }

  private:
    bool PayloadSizeAllowed(uint16_t size) const override;
    uint8_t AcceptFrame(const SimFrame& frame) override;
    void FrameAnswered(const SimFrame* frame, uint8_t answer) override;
    void TakeText(const RxByte& b);
    void HandleText();
    void ClearRam();

    CSimCore& m_core;
    CRecordExchange m_exchange;
    bool m_versionSent = false;
    bool m_inText = false;
    std::string m_text;
    std::array<uint8_t, kSfldRamSize> m_ram{};
    uint32_t m_ramBase = 0;
    uint32_t m_ramUsed = 0;   // bytes past m_ramBase up to the highest one written
    uint32_t m_ramBytes = 0;  // data bytes taken
};

}  // namespace zelvar::sim
