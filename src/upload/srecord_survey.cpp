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
#include <memory>

#include "base/flash_map.h"
#include "image/firmware_image.h"
#include "upload/flash_window.h"
#include "upload/image_walk.h"
#include "upload/prepare_image.h"

namespace zelvar {

namespace {

using PfldWindow = FlashWindow<kFlashBase, kPfldSectionBytes>;

// The verified PFLD checksum of what the image programs there, or 0.
uint32_t PfldChecksum(const PfldWindow& window) {
    if (!window.Covers(0, 4) || !window.Covers(kSectionStartWord, 8)) return 0;
    const uint32_t start = window.Word(kSectionStartWord);
    const uint32_t end = window.Word(kSectionEndWord);
    if (start != kFlashBase || end <= start || end >= start + kPfldSectionBytes) return 0;
    if ((window.Word(0) >> 24) != kSectionMarker) return 0;
    const uint32_t storedOffset = (end - start) / 4 * 4;
    if (!window.Covers(0, storedOffset + 4)) return 0;
    uint32_t computed = 0;
    for (uint32_t offset = 0; offset < storedOffset; offset += 4) computed ^= window.Word(offset);
    return computed == window.Word(storedOffset) ? computed : 0;
}

}  // namespace

bool SurveySRecordImage(UploadPlan& plan) {
    auto window = std::make_unique<PfldWindow>();
    uint64_t end =
        static_cast<uint64_t>(g_firmwareImage.StartAddress()) + g_firmwareImage.ImageSize();
    uint64_t bytes = 0;
    const bool read =
        WalkImageFrames(g_firmwareImage, [&](uint32_t base, const uint8_t* data, uint32_t n) {
            window->Take(base, data, n);
            end = std::max(end, static_cast<uint64_t>(base) + n);
            bytes += n;
        });
    if (!read) return false;
    plan.eraseEnd = static_cast<uint32_t>(std::min<uint64_t>(end, 0xFFFFFFFF));
    plan.programBytes = static_cast<uint32_t>(std::min<uint64_t>(bytes, 0xFFFFFFFF));
    plan.imagePfldCrc = PfldChecksum(*window);
    return true;
}

}  // namespace zelvar
