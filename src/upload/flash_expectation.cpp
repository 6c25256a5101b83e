#include "upload/flash_expectation.h"

#include <memory>

#include "base/flash_map.h"
#include "image/firmware_image.h"
#include "link/version_parse.h"
#include "upload/flash_window.h"
#include "upload/image_walk.h"

namespace zelvar {

namespace {

constexpr uint32_t kVersionAreaBytes = kVersionWords * 4;  // end - 32 up to end + 3
constexpr uint32_t kVersionBeforeEnd = kVersionAreaBytes - 4;
constexpr uint32_t kHeaderBytes = kSectionEndWord + 4 - kSectionStartWord;

using PfldWindow = FlashWindow<kFlashBase, kPfldSectionBytes>;
using FwHeader = FlashWindow<kFwBase + kSectionStartWord, kHeaderBytes>;

template <typename Window>
ExpectedWord WordAt(const Window& window, uint32_t offset) {
    ExpectedWord word;
    word.present = window.Covers(offset, 4);
    if (word.present) word.value = window.Word(offset);
    return word;
}

// The check word and the version follow from the end word, as the read-back takes
// them: only from a section whose header it accepts.
void ExpectPfld(const PfldWindow& pfld, FlashExpectation& expectation) {
    expectation.pfldStart = WordAt(pfld, kSectionStartWord);
    expectation.pfldEnd = WordAt(pfld, kSectionEndWord);
    const uint32_t end = expectation.pfldEnd.value;
    if (!expectation.pfldStart.present || expectation.pfldStart.value != kFlashBase ||
        !expectation.pfldEnd.present || !(kFlashBase < end && end < kFwBase)) {
        return;
    }
    const uint32_t endOffset = end - kFlashBase;
    expectation.pfldCheck = WordAt(pfld, endOffset);
    if (endOffset < kVersionBeforeEnd ||
        !pfld.Covers(endOffset - kVersionBeforeEnd, kVersionAreaBytes)) {
        return;
    }
    uint8_t scratch[kVersionScratchBytes] = {};
    for (uint32_t i = 0; i < kVersionAreaBytes; ++i) {
        scratch[i] = pfld.bytes[endOffset - kVersionBeforeEnd + i];
    }
    expectation.pfldVersionPresent = true;
    ParseLoaderVersion(scratch, expectation.pfldVersion);
}

}  // namespace

bool ReadFlashExpectation(const char* path, FlashExpectation& expectation) {
    expectation = FlashExpectation{};
    auto image = std::make_unique<CFirmwareImage>();
    if (!image->Open(path) || !image->Scan()) return false;
    auto pfld = std::make_unique<PfldWindow>();
    FwHeader fw;
    const bool read =
        WalkImageFrames(*image, [&](uint32_t address, const uint8_t* data, uint32_t n) {
            pfld->Take(address, data, n);
            fw.Take(address, data, n);
        });
    if (!read) return false;
    ExpectPfld(*pfld, expectation);
    expectation.fwStart = WordAt(fw, 0);
    expectation.fwEnd = WordAt(fw, kSectionEndWord - kSectionStartWord);
    return true;
}

}  // namespace zelvar
