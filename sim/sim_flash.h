// The simulated receiver's flash: erased bytes read 0xFF, programming can only clear
// bits (as NOR flash does), erasing works on whole sectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_constants.h"

namespace zelvar::sim {

class CSimFlash {
  public:
    CSimFlash();

    // Loads a composite image (a flat copy of flash from its first address); the rest
    // stays erased. False with a reason when the file cannot be read or is too long.
    bool Load(const std::string& path, std::string& error);
    // Writes the flash as a composite image, without its trailing erased words.
    bool Save(const std::string& path, std::string& error) const;

    static bool Contains(uint32_t address, uint32_t size);
    uint8_t Byte(uint32_t address) const;   // 0xFF outside the flash
    uint32_t Word(uint32_t address) const;  // little-endian; 0xFFFFFFFF outside
    // ANDs the bytes into the flash; false when they do not all lie inside it.
    bool Program(uint32_t address, const uint8_t* data, uint32_t size);
    void EraseSector(uint32_t sectorAddress);
    // XORs the little-endian word at address with mask (a fault, not programming); false
    // when the word does not lie inside the flash.
    bool XorWord(uint32_t address, uint32_t mask);
    void Fill(uint32_t address, const std::vector<uint8_t>& bytes);  // for tests: exact copy

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

  private:
    std::vector<uint8_t> m_bytes;
};

// Exclusive-or of the little-endian words of a section: from start, every whole word
// before end. The section's check word lies at CheckWordAddress.
uint32_t SectionChecksum(const CSimFlash& flash, uint32_t start, uint32_t end);
uint32_t CheckWordAddress(uint32_t start, uint32_t end);

}  // namespace zelvar::sim
