// The receiver's flash map, known to the loader, the image code and the command line.
//
// The resident loader (PFLD) section opens the flash and the main firmware (FW)
// section follows it. Each section describes itself: the top byte of its first word is
// the section marker, and its header, 0x20 bytes in, holds its own start address and
// its end, the address of its check word. A composite image is a flat copy of the
// flash: file offset k holds the byte at kFlashBase + k.
#pragma once

#include <cstdint>

namespace zelvar {

constexpr uint32_t kFlashBase = 0x10000000;                   // flash start, the PFLD section
constexpr uint32_t kPfldSectionBytes = 0x4000;                // room of the PFLD section
constexpr uint32_t kFwBase = kFlashBase + kPfldSectionBytes;  // start of the FW section
constexpr uint32_t kFwSectionBytes = 0x100000;                // room of the FW section
constexpr uint32_t kFlashEnd = kFwBase + kFwSectionBytes;     // first address past the flash

// A section's header words, as offsets from the section's start.
constexpr uint32_t kSectionStartWord = 0x20;  // the section's own start address
constexpr uint32_t kSectionEndWord = 0x24;    // its end: the address of its check word
constexpr uint32_t kSectionMarker = 0xE5;     // top byte of a section's first word

// Where the FW section lies in a composite image.
constexpr uint32_t kFwFileOffset = kFwBase - kFlashBase;

}  // namespace zelvar
