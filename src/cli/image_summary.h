// What `zelvar inspect` tells about a composite image file beyond the preparation's own
// lines: its sections with their addresses and check words, and its SFLD section.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvar::cli {

struct SectionSummary {
    bool found = false;  // header words at +0x20/+0x24 describe a sound section
    uint32_t start = 0;  // header words as read, found or not
    uint32_t end = 0;
    uint32_t storedWord = 0;    // the check word after the covered words (0 past the file)
    uint32_t computedWord = 0;  // XOR of the covered words
    bool whole = false;         // the file holds the covered words and the check word
};

struct CompositeSummary {
    uint64_t fileBytes = 0;
    SectionSummary pfld;
    SectionSummary fw;
    uint64_t sfldTextBytes = 0;  // 0: no SFLD section after the FW check word
    uint32_t sfldStoredWord = 0;
    uint32_t sfldComputedWord = 0;
};

// Reads the layout of the composite image at path; false when it cannot be read.
bool SummariseComposite(const char* path, CompositeSummary& summary);

// The summary as lines of text.
std::vector<std::string> DescribeComposite(const CompositeSummary& summary);

}  // namespace zelvar::cli
