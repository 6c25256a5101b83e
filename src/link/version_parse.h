// Parsing of the receiver's replies: the hexadecimal fields of a memory-read answer
// and the version texts of the two flash sections.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/receiver_queries.h"

namespace zelvar {

// Bytes of the scratch area the loader section's version words are laid out in.
constexpr std::size_t kVersionScratchBytes = 256;
// Words read for the loader version: end - 32 up to the checksum word at end.
constexpr int kVersionWords = 9;
// Positions searched for the "v" that precedes the loader version.
constexpr int kVersionSearchLast = 30;
// Bytes of version text a section record keeps.
constexpr std::size_t kVersionTextBytes = 8;

// Reads a hexadecimal number (leading blanks allowed) into value; false when no digit
// follows or the number does not fit in 32 bits.
bool ParseHexWord(const char* text, uint32_t& value);

// Takes the loader version from the scratch area (kVersionScratchBytes bytes, zero
// beyond the version words): the last "v" followed by a digit in positions 0 to 30
// starts it. Sets major, minor and text; leaves the record alone when there is none.
// The scratch area is modified (the byte ending the text becomes its terminator).
void ParseLoaderVersion(uint8_t* scratch, FlashSectionInfo& info);

// Takes the main firmware version from an identification reply line: the second field
// after "$PQRXR,RID,". Sets text and minor; major is never set.
void ParseMainVersion(const char* line, FlashSectionInfo& info);

}  // namespace zelvar
