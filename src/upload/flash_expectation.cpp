#include "upload/flash_expectation.h"

#include <memory>

#include "image/firmware_image.h"
#include "link/version_parse.h"
#include "upload/image_walk.h"

namespace zelvar {

namespace {

constexpr uint32_t kVersionAreaBytes = kVersionWords * 4;  // end - 32 up to end + 3
constexpr uint32_t kVersionBeforeEnd = kVersionAreaBytes - 4;
constexpr uint32_t kErasedByte = 0xFF;

ExpectedWord WordAt(const ImageFlash& flash, uint32_t offset) {
    ExpectedWord word;
    word.present = flash.Covers(offset, 4);
    if (word.present) word.value = flash.Word(offset);
    return word;
}

// The check word and the version follow from the end word, as the read-back takes
// them: only from a section whose header it accepts.
void ExpectPfld(const ImageFlash& flash, FlashExpectation& expectation) {
    expectation.pfldStart = WordAt(flash, kSectionStartWord);
    expectation.pfldEnd = WordAt(flash, kSectionEndWord);
    const uint32_t end = expectation.pfldEnd.value;
    if (!expectation.pfldStart.present || expectation.pfldStart.value != kFlashBase ||
        !expectation.pfldEnd.present || !(kFlashBase < end && end < kFwBase)) {
        return;
    }
    const uint32_t endOffset = end - kFlashBase;
    expectation.pfldCheck = WordAt(flash, endOffset);
    if (endOffset < kVersionBeforeEnd ||
        !flash.Covers(endOffset - kVersionBeforeEnd, kVersionAreaBytes)) {
        return;
    }
    uint8_t scratch[kVersionScratchBytes] = {};
    for (uint32_t i = 0; i < kVersionAreaBytes; ++i) {
        scratch[i] = flash.bytes[endOffset - kVersionBeforeEnd + i];
    }
    expectation.pfldVersionPresent = true;
    ParseLoaderVersion(scratch, expectation.pfldVersion);
}

// The byte flash holds at offset after programming an erased section.
uint32_t ByteAfter(const ImageFlash& flash, uint32_t offset) {
    return flash.present.test(offset) ? flash.bytes[offset] : kErasedByte;
}

void ExpectFwCheck(const ImageFlash& flash, FlashExpectation& expectation) {
    uint32_t end = 0;
    if (!FwCheckWordAddress(expectation, end)) return;
    uint32_t sum = 0;
    for (uint32_t offset = kFwFileOffset; offset < end - kFlashBase; offset += 4) {
        sum ^= ByteAfter(flash, offset) | ByteAfter(flash, offset + 1) << 8 |
               ByteAfter(flash, offset + 2) << 16 | ByteAfter(flash, offset + 3) << 24;
    }
    const ExpectedWord sent = WordAt(flash, end - kFlashBase);
    expectation.fwCheckSent = sent.present;
    expectation.fwCheck = sent.present ? sent : ExpectedWord{true, sum};
}

}  // namespace

bool FwCheckWordAddress(const FlashExpectation& expectation, uint32_t& address) {
    address = expectation.fwEnd.value;
    return expectation.fwStart.present && expectation.fwStart.value == kFwBase &&
           expectation.fwEnd.present && kFwBase < address && address < kFlashEnd &&
           address % 4 == 0;
}

bool ReadImageFlash(const char* path, ImageFlash& flash) {
    auto image = std::make_unique<CFirmwareImage>();
    if (!image->Open(path) || !image->Scan()) return false;
    return WalkImageFrames(*image, [&](uint32_t address, const uint8_t* data, uint32_t n) {
        flash.Take(address, data, n);
    });
}

FlashExpectation ExpectationOf(const ImageFlash& flash) {
    FlashExpectation expectation;
    ExpectPfld(flash, expectation);
    expectation.fwStart = WordAt(flash, kFwFileOffset + kSectionStartWord);
    expectation.fwEnd = WordAt(flash, kFwFileOffset + kSectionEndWord);
    ExpectFwCheck(flash, expectation);
    return expectation;
}

bool ReadFlashExpectation(const char* path, FlashExpectation& expectation) {
    expectation = FlashExpectation{};
    auto flash = std::make_unique<ImageFlash>();
    if (!ReadImageFlash(path, *flash)) return false;
    expectation = ExpectationOf(*flash);
    return true;
}

}  // namespace zelvar
