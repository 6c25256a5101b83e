#include "image/composite_layout.h"

#include "base/flash_map.h"
#include "image/image_file.h"

namespace zelvar {

namespace {
constexpr int64_t kCheckWordBytes = 4;
}  // namespace

int64_t ImageFileBytes(std::FILE* file) {
    if (!SeekImageFile(file, 0, SEEK_END)) return -1;
    return TellImageFile(file);
}

bool ReadSectionHeader(std::FILE* file, uint32_t sectionOffset, uint32_t& start, uint32_t& end) {
    start = end = 0;
    return SeekImageFile(file, int64_t{sectionOffset} + kSectionStartWord, SEEK_SET) &&
           ReadWordLE(file, start) && ReadWordLE(file, end);
}

bool HeaderFits(uint32_t start, uint32_t end, uint32_t expectedStart, uint32_t room) {
    return start == expectedStart && end > start && end - start < room;
}

bool HasSectionMarker(std::FILE* file, uint32_t sectionOffset) {
    uint32_t word = 0;
    return SeekImageFile(file, sectionOffset, SEEK_SET) && ReadWordLE(file, word) &&
           (word >> 24) == kSectionMarker;
}

// The first word whose running byte count would pass length is the stored checksum.
SectionSum SumSection(std::FILE* file, uint32_t sectionOffset, uint32_t length) {
    SectionSum sum;
    if (!SeekImageFile(file, sectionOffset, SEEK_SET)) return sum;
    for (uint64_t count = 4;; count += 4) {
        uint32_t word = 0;
        if (!ReadWordLE(file, word)) break;
        if (count > length) {
            sum.stored = word;
            sum.whole = true;
            break;
        }
        sum.computed ^= word;
    }
    return sum;
}

bool LocateSfldSection(std::FILE* file, int64_t maxLength, int64_t& start, int64_t& length) {
    uint32_t fwStart = 0;
    uint32_t fwEnd = 0;
    if (!ReadSectionHeader(file, kFwFileOffset, fwStart, fwEnd) || fwStart != kFwBase) {
        return false;
    }
    const int64_t fileLength = ImageFileBytes(file);
    start = int64_t{fwEnd} - kFlashBase + kCheckWordBytes;
    length = fileLength - start;
    // A section shorter than its own check word is no section.
    return start >= 0 && fileLength >= 0 && length >= kCheckWordBytes && length <= maxLength;
}

}  // namespace zelvar
