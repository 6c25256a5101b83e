// Small composite images for the reliability tests, and the simulated receiver that
// they are flashed into.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_receiver.h"

namespace zelvar::test {

constexpr std::size_t kTestPfldBytes = 0x2000;
constexpr std::size_t kTestFwBytes = 0x4000;

// A composite image whose PFLD, FW and SFLD sections are filled from seed (the PFLD
// section does not depend on the seed, so the receiver's PFLD stays up to date).
std::vector<uint8_t> MakeTestImage(uint32_t seed, std::size_t fwBytes = kTestFwBytes);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

// The bytes the upload programs, with the FW check word the receiver writes after
// them: from the image's start up to and including the word at the FW end address.
std::vector<uint8_t> ProgrammedPart(const std::vector<uint8_t>& image);
// The receiver's flash begins with the image's programmed part.
bool FlashHolds(const std::vector<uint8_t>& flash, const std::vector<uint8_t>& image);

// A simulated receiver on a pty of its own (no link), its flash loaded from factory.
std::unique_ptr<sim::CSimReceiver> StartSim(sim::SimOptions options, const std::string& factory);

}  // namespace zelvar::test
