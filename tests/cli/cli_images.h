// Composite images for the command-line tests, and the simulated receiver they flash.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/composite_builder.h"
#include "sim/sim_receiver.h"
#include "test_env.h"

namespace zelvar::test {

// Parts of a composite image: PFLD and FW bodies filled from seed, an SFLD section of
// S-record text when withSfld.
CompositeImageParts MakeParts(uint32_t seed, std::size_t pfldBytes, std::size_t fwBytes,
                              bool withSfld = true);
// Builds the image into dir/name and returns its path (empty on failure).
std::string WriteImage(const TempDir& dir, const std::string& name,
                       const CompositeImageParts& parts);
std::vector<uint8_t> ReadBytes(const std::string& path);

// The part of a composite image that the upload programs: from its start up to the FW
// end address (the FW check word and the SFLD section lie beyond).
std::vector<uint8_t> FlashedPart(const std::vector<uint8_t>& image);

// A simulated receiver whose flash holds factoryImage, its device linked at dir/gps.
std::unique_ptr<sim::CSimReceiver> StartReceiver(const TempDir& dir,
                                                 const std::string& factoryImage,
                                                 const sim::SimFaults& faults = {});

}  // namespace zelvar::test
