// What a receiver must report after a good flash of an image: the header words, check
// word and version of the PFLD section, the header words of the FW section, and its
// check word as the receiver's loader sums it when the image does not send it.
#pragma once

#include <cstdint>

#include "base/flash_map.h"
#include "link/receiver_queries.h"
#include "upload/flash_window.h"

namespace zelvar {

// The bytes an image programs into the whole flash.
using ImageFlash = FlashWindow<kFlashBase, kFlashEnd - kFlashBase>;

struct ExpectedWord {
    bool present = false;  // the image programs all four bytes of the word
    uint32_t value = 0;
};

struct FlashExpectation {
    ExpectedWord pfldStart;  // the PFLD header's start word
    ExpectedWord pfldEnd;    // its end word: the address of its check word
    ExpectedWord pfldCheck;  // the word at that address
    // The PFLD version as the read-back parses it from end - 32 .. end + 3 (major,
    // minor and text; all zero when the area holds no version).
    bool pfldVersionPresent = false;
    FlashSectionInfo pfldVersion;
    ExpectedWord fwStart;
    ExpectedWord fwEnd;
    // The FW check word: the exclusive-or of the section's words from its start up to
    // its end word, bytes the image leaves out counted as erased (0xFF). Present when the
    // image programs a valid FW header. fwCheckSent: the image programs the check word
    // itself, so a match shows only that this word arrived.
    ExpectedWord fwCheck;
    bool fwCheckSent = false;
};

// Opens the image at path (S-record text or a composite binary) on its own and walks
// its frames as the upload sends them into flash. False when it cannot be opened or read.
bool ReadImageFlash(const char* path, ImageFlash& flash);
// What the receiver must report after flash was programmed.
FlashExpectation ExpectationOf(const ImageFlash& flash);
// Both in one: false when the image cannot be read.
bool ReadFlashExpectation(const char* path, FlashExpectation& expectation);

// The FW section's end word in flash, when the image programs a valid FW header.
bool FwCheckWordAddress(const FlashExpectation& expectation, uint32_t& address);

}  // namespace zelvar
