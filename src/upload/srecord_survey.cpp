// The image side of the PFLD comparison and the true extent of an S-record image.
//
// An S-record image carries no header that names its sections, so its PFLD checksum is
// taken from its data: when the image programs a whole PFLD section (kFlashBase in its
// header's start word, an end word within the section's 16 KB, the section marker in
// the first word, every byte up to and including the checksum word present) and the
// XOR of the covered words equals the stored checksum word, that word is the image's
// PFLD checksum. Otherwise the image side is unknown (0) and the user is asked.
//
// The scan's image size ends at the start of the highest S3 record, so the data of
// that record would lie past an erase range built from it; the survey records where
// the last programmed byte really ends.
#include <algorithm>
#include <array>
#include <bitset>

#include "base/flash_map.h"
#include "image/firmware_image.h"
#include "image/loader_record.h"
#include "upload/prepare_image.h"

namespace zelvar {

namespace {

constexpr std::size_t kFrameDataOffset = 7;  // "[", length word, 32-bit address

// The bytes an image programs into the PFLD section's 16 KB.
struct PfldWindow {
    std::array<uint8_t, kPfldSectionBytes> bytes{};
    std::bitset<kPfldSectionBytes> present;

    void Take(uint32_t address, const uint8_t* data, uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) {
            const uint64_t at = static_cast<uint64_t>(address) + i;
            if (at < kFlashBase || at >= kFlashBase + kPfldSectionBytes) continue;
            bytes[at - kFlashBase] = data[i];
            present.set(at - kFlashBase);
        }
    }
    bool Covers(uint32_t offset, uint32_t n) const {
        for (uint32_t i = offset; i < offset + n; ++i) {
            if (i >= kPfldSectionBytes || !present.test(i)) return false;
        }
        return true;
    }
    uint32_t Word(uint32_t offset) const {
        return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
               (static_cast<uint32_t>(bytes[offset + 3]) << 24);
    }

    // The verified PFLD checksum, or 0.
    uint32_t Checksum() const {
        if (!Covers(0, 4) || !Covers(kSectionStartWord, 8)) return 0;
        const uint32_t start = Word(kSectionStartWord);
        const uint32_t end = Word(kSectionEndWord);
        if (start != kFlashBase || end <= start || end >= start + kPfldSectionBytes) return 0;
        if ((Word(0) >> 24) != kSectionMarker) return 0;
        const uint32_t storedOffset = (end - start) / 4 * 4;
        if (!Covers(0, storedOffset + 4)) return 0;
        uint32_t computed = 0;
        for (uint32_t offset = 0; offset < storedOffset; offset += 4) computed ^= Word(offset);
        return computed == Word(storedOffset) ? computed : 0;
    }
};

}  // namespace

bool SurveySRecordImage(UploadPlan& plan) {
    PfldWindow window;
    CLoaderRecord record;
    uint64_t end =
        static_cast<uint64_t>(g_firmwareImage.StartAddress()) + g_firmwareImage.ImageSize();
    uint64_t bytes = 0;
    g_firmwareImage.Rewind();
    for (;;) {
        if (!g_firmwareImage.NextRecord(record)) return false;
        const uint32_t n = record.DataCount();
        if (n == 0) break;
        const uint32_t base = record.BaseAddress();
        window.Take(base, record.Bytes() + kFrameDataOffset, n);
        end = std::max(end, static_cast<uint64_t>(base) + n);
        bytes += n;
    }
    g_firmwareImage.Rewind();
    plan.eraseEnd = static_cast<uint32_t>(std::min<uint64_t>(end, 0xFFFFFFFF));
    plan.programBytes = static_cast<uint32_t>(std::min<uint64_t>(bytes, 0xFFFFFFFF));
    plan.imagePfldCrc = window.Checksum();
    return true;
}

}  // namespace zelvar
