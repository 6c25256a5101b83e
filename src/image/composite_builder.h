// Builds composite firmware images: the inverse of the layout the upload preparation
// checks. Used by tests, the simulated receiver, the demo and `zelvar make-image`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/flash_map.h"

namespace zelvar {

struct CompositeImageParts {
    // Section contents from the section's first word on, without the check word. The
    // builder writes the header words (start at +0x20, end at +0x24) and sets the top
    // byte of the first word to 0xE5; a short section is padded with 0xFF to a whole
    // number of words and to the header's size.
    std::vector<uint8_t> pfld;
    std::vector<uint8_t> fw;
    // The SFLD as S-record text; empty means no SFLD section.
    std::string sfld;
};

// Fills out with the image; false with a reason in error when a part does not fit
// (PFLD over 0x3FFC bytes, FW over 0xFFFFC bytes, ...). The image length is always a
// multiple of 4 (the SFLD text is padded through its S0 header when needed).
bool BuildCompositeImage(const CompositeImageParts& parts, std::vector<uint8_t>& out,
                         std::string& error);
bool WriteCompositeImage(const CompositeImageParts& parts, const char* path, std::string& error);

// XOR of little-endian 32-bit words, the last partial word zero-filled.
uint32_t XorWordsLE(const uint8_t* data, std::size_t size);

// Writes data as S3 records of recordBytes data bytes each (addresses from address),
// with an S0 header carrying header and an S7 record with entry; lines end in "\n".
std::string MakeSRecordText(uint32_t address, const std::vector<uint8_t>& data, uint32_t entry,
                            int recordBytes = 16, const std::string& header = "");

}  // namespace zelvar
