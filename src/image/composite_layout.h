// The one reader of a composite image's layout (flash_map.h): a section's header words,
// its marker, the XOR of the words it covers and its check word, and the SFLD section
// after the FW check word. The upload's check, `zelvar inspect` and the SFLD finder read
// the file through these; offsets are 64-bit throughout.
#pragma once

#include <cstdint>
#include <cstdio>

namespace zelvar {

// The file's length in bytes; negative when it cannot be told.
int64_t ImageFileBytes(std::FILE* file);

// The header words (start, end) of the section at file offset sectionOffset; false when
// the file ends first (the words read so far, 0 for the others).
bool ReadSectionHeader(std::FILE* file, uint32_t sectionOffset, uint32_t& start, uint32_t& end);

// A header that describes a section at expectedStart: its end after its start, within
// room bytes.
bool HeaderFits(uint32_t start, uint32_t end, uint32_t expectedStart, uint32_t room);

// The top byte of the word at sectionOffset is the section marker.
bool HasSectionMarker(std::FILE* file, uint32_t sectionOffset);

struct SectionSum {
    uint32_t computed = 0;  // XOR of the covered words the file holds
    uint32_t stored = 0;    // the check word after them; 0 when the file ended first
    bool whole = false;     // the file holds every covered word and the check word
};

// The words from sectionOffset covering length bytes (the last partial word counts as
// the check word's place) and the check word that follows them.
SectionSum SumSection(std::FILE* file, uint32_t sectionOffset, uint32_t length);

// The SFLD section after the FW check word: its start offset and its length (text and
// its own check word); false when the FW header is not at its place or no section follows.
bool LocateSfldSection(std::FILE* file, int64_t maxLength, int64_t& start, int64_t& length);

}  // namespace zelvar
