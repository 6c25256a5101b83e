// The composite image check: a flat copy of flash (flash_map.h) holding the PFLD
// section at file offset 0 and the FW section after it, each with its header pair
// (start, end) and its XOR checksum word at its end.
#include <cstdio>

#include "base/flash_map.h"
#include "base/message_log.h"
#include "image/image_file.h"
#include "upload/prepare_image.h"

namespace zelvar {

namespace {

// Lengths of a composite image file that are taken.
constexpr long kMinImageBytes = 0x400;
constexpr long kMaxImageBytes = 0x10100000;

bool ReadWordAt(std::FILE* stream, long offset, uint32_t& word) {
    return std::fseek(stream, offset, SEEK_SET) == 0 && ReadWordLE(stream, word);
}

struct SectionSum {
    uint32_t computed = 0;
    uint32_t stored = 0;   // 0 when the file ended first
    bool present = false;  // the stored word was read: the file holds the whole section
};

// XORs the words covered by a section of length bytes from the stream's position; the
// first word whose running byte count would pass length is the stored checksum.
SectionSum SumSection(std::FILE* stream, uint32_t length) {
    SectionSum sum;
    uint64_t count = 0;
    for (;;) {
        uint32_t word = 0;
        if (!ReadWordLE(stream, word)) break;
        count += 4;
        if (count > length) {
            sum.stored = word;
            sum.present = true;
            break;
        }
        sum.computed ^= word;
    }
    return sum;
}

// A section that the file ends inside fails, whatever its words add up to: programmed,
// it would leave the rest of its erased range empty.
bool ReportSum(const char* name, const SectionSum& sum) {
    char line[96];
    const bool passed = sum.present && sum.computed == sum.stored;
    if (passed) {
        std::snprintf(line, sizeof line, "%s CRC: 0x%08x PASSED.", name, sum.computed);
    } else {
        std::snprintf(line, sizeof line, "%s CRC: 0x%08x 0x%08x FAILED.", name, sum.computed,
                      sum.stored);
    }
    LogAnsiLine(line);
    return passed;
}

void ReportFound(const char* format, uint32_t start, uint32_t end) {
    char line[96];
    std::snprintf(line, sizeof line, format, start, end);
    LogAnsiLine(line);
}

bool LengthAcceptable(std::FILE* stream) {
    if (std::fseek(stream, 0, SEEK_END) != 0) return false;
    const long length = std::ftell(stream);
    if (std::fseek(stream, 0, SEEK_SET) != 0) return false;
    return length >= kMinImageBytes && length <= kMaxImageBytes && length % 4 == 0;
}

bool HasMarker(std::FILE* stream, long offset) {
    uint32_t word = 0;
    return ReadWordAt(stream, offset, word) && (word >> 24) == kSectionMarker;
}

}  // namespace

uint32_t CheckCompositeImage(std::FILE* stream) {
    if (stream == nullptr || !LengthAcceptable(stream)) return 0;
    bool good = true;
    uint32_t start = 0;
    uint32_t end = 0;
    ReadWordAt(stream, kSectionStartWord, start);
    ReadWordLE(stream, end);

    const bool pfldFound = start == kFlashBase && end > start && end < start + kPfldSectionBytes;
    uint32_t pfldCrc = 0;
    if (pfldFound) {
        ReportFound("PFLD section found at: 0x%08x, 0x%08x", start, end);
        std::fseek(stream, 0, SEEK_SET);
        const SectionSum sum = SumSection(stream, end - start);
        good = ReportSum("PFLD", sum) && good;
        pfldCrc = sum.computed;
        ReadWordAt(stream, kFwFileOffset + kSectionStartWord, start);
        ReadWordLE(stream, end);
    }

    const bool fwFound = start == kFwBase && end > start && end < start + kFwSectionBytes;
    if (!fwFound) {
        LogLine("Incorrect Image");
        return 0;
    }
    ReportFound("FW   section found at: 0x%08x, 0x%08x", start, end);
    if (pfldFound) {
        if (!HasMarker(stream, 0)) {
            LogLine("Incorrect PFLD Image");
            return 0;
        }
        if (!HasMarker(stream, kFwFileOffset)) {
            LogLine("Incorrect FW Image");
            return 0;
        }
    }
    // The FW checksum is always taken over the FW section at its own file offset, also
    // when no PFLD section was recognised (the image is refused below in that case).
    std::fseek(stream, kFwFileOffset, SEEK_SET);
    const SectionSum fwSum = SumSection(stream, end - start);
    good = ReportSum("FW", fwSum) && good;

    // A section that was not found fails these tests; a found one always passes them.
    if (!pfldFound) {
        LogLine("PFLD section missed or corrupted");
        good = false;
    }
    return good ? pfldCrc : 0;
}

}  // namespace zelvar
