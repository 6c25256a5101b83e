// The receiver's resident flash loader (PFLD) at 19200 bit/s: the loader probe "$A",
// short memory reads "$R<addr>", the byte dialogue ("$VER" text, the 0x44/0x45 steps,
// REC_WAIT) and the SFLD taken in loader record frames into RAM, started by the end frame.
// While a frame is awaited, bytes that are no frame are not taken as commands.
#pragma once

#include <array>
#include <bitset>
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
    bool Rebase(uint32_t address);
    bool RamHasHole() const;
    void StartSfld();

    CSimCore& m_core;
    CRecordExchange m_exchange;
    bool m_versionSent = false;
    bool m_inText = false;
    std::string m_text;
    // The SFLD as received: frames may come again or out of order (a refused frame is
    // written again), so every byte written is marked.
    std::array<uint8_t, kSfldRamSize> m_ram{};
    std::bitset<kSfldRamSize> m_written;
    uint32_t m_ramBase = 0;
    uint32_t m_ramUsed = 0;  // bytes past m_ramBase up to the highest one written
};

}  // namespace zelvar::sim
