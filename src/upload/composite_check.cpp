// The composite image check: a flat copy of flash (flash_map.h) holding the PFLD
// section at file offset 0 and the FW section after it, each with its header pair
// (start, end) and its XOR checksum word at its end. The file is read through
// image/composite_layout.h.
#include <cstdio>

#include "base/flash_map.h"
#include "base/message_log.h"
#include "image/composite_layout.h"
#include "upload/prepare_image.h"

namespace zelvar {

namespace {

// Lengths of a composite image file that are taken.
constexpr int64_t kMinImageBytes = 0x400;
constexpr int64_t kMaxImageBytes = 0x10100000;

// A section that the file ends inside fails, whatever its words add up to: programmed,
// it would leave the rest of its erased range empty.
bool ReportSum(const char* name, const SectionSum& sum) {
    char line[96];
    const bool passed = sum.whole && sum.computed == sum.stored;
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
    const int64_t length = ImageFileBytes(stream);
    return length >= kMinImageBytes && length <= kMaxImageBytes && length % 4 == 0;
}

}  // namespace

uint32_t CheckCompositeImage(std::FILE* stream) {
    if (stream == nullptr || !LengthAcceptable(stream)) return 0;
    bool good = true;
    uint32_t start = 0;
    uint32_t end = 0;
    ReadSectionHeader(stream, 0, start, end);

    const bool pfldFound = HeaderFits(start, end, kFlashBase, kPfldSectionBytes);
    uint32_t pfldCrc = 0;
    if (pfldFound) {
        ReportFound("PFLD section found at: 0x%08x, 0x%08x", start, end);
        const SectionSum sum = SumSection(stream, 0, end - start);
        good = ReportSum("PFLD", sum) && good;
        pfldCrc = sum.computed;
        ReadSectionHeader(stream, kFwFileOffset, start, end);
    }

    // Without a PFLD section the words at its place are taken as the FW header.
    if (!HeaderFits(start, end, kFwBase, kFwSectionBytes)) {
        LogLine("Incorrect Image");
        return 0;
    }
    ReportFound("FW   section found at: 0x%08x, 0x%08x", start, end);
    if (pfldFound) {
        if (!HasSectionMarker(stream, 0)) {
            LogLine("Incorrect PFLD Image");
            return 0;
        }
        if (!HasSectionMarker(stream, kFwFileOffset)) {
            LogLine("Incorrect FW Image");
            return 0;
        }
    }
    // The FW checksum is always taken over the FW section at its own file offset, also
    // when no PFLD section was recognised (the image is refused below in that case).
    good = ReportSum("FW", SumSection(stream, kFwFileOffset, end - start)) && good;

    // A section that was not found fails these tests; a found one always passes them.
    if (!pfldFound) {
        LogLine("PFLD section missed or corrupted");
        good = false;
    }
    return good ? pfldCrc : 0;
}

}  // namespace zelvar
