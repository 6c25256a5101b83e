// What a receiver must report after a good flash of an image: the header words, check
// word and version of the PFLD section and the header words of the FW section, as the
// image programs them. The FW check word is not among them: the upload does not send it.
#pragma once

#include <cstdint>

#include "link/receiver_queries.h"

namespace zelvar {

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
};

// Opens the image at path (S-record text or a composite binary) on its own and walks
// its frames as the upload sends them. False when it cannot be opened or read.
bool ReadFlashExpectation(const char* path, FlashExpectation& expectation);

}  // namespace zelvar
