// One of the receiver's modes: normal operation, its resident loader, or the SFLD.
#pragma once

#include "sim/sim_core.h"

namespace zelvar::sim {

class CSimMode {
  public:
    virtual ~CSimMode() = default;
    virtual void Enter() = 0;
    virtual void OnByte(const RxByte& b) = 0;
    virtual void OnTick(double /*now*/) {}
    virtual double Deadline() const { return kNever; }
};

// "*hh" checksum of a sentence body (the text between "$" and "*").
std::string SentenceChecksum(const std::string& body);
// Hexadecimal number of 1 to 8 digits that fills the whole text.
bool ParseHex32(const std::string& text, uint32_t& value);

}  // namespace zelvar::sim
