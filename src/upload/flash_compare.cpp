#include "upload/flash_compare.h"

#include <cstdio>
#include <cstring>

namespace zelvar {

namespace {

constexpr std::size_t kLineBytes = 160;

void CompareWord(const char* name, uint32_t receiver, const ExpectedWord& image,
                 std::vector<std::string>& lines) {
    if (!image.present || receiver == image.value) return;
    char line[kLineBytes];
    std::snprintf(line, sizeof line, "Verify: %s 0x%08x in the receiver, 0x%08x in the image", name,
                  receiver, image.value);
    lines.emplace_back(line);
}

std::string VersionText(const FlashSectionInfo& info) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d (%s)", info.major, info.minor, info.text);
    return text;
}

void CompareVersion(const FlashSectionInfo& receiver, const FlashExpectation& image,
                    std::vector<std::string>& lines) {
    const FlashSectionInfo& expected = image.pfldVersion;
    if (!image.pfldVersionPresent ||
        (receiver.major == expected.major && receiver.minor == expected.minor &&
         std::strcmp(receiver.text, expected.text) == 0)) {
        return;
    }
    lines.push_back("Verify: PFLD version " + VersionText(receiver) + " in the receiver, " +
                    VersionText(expected) + " in the image");
}

// False (with its line) when the image programs the section's header and the receiver
// showed no such section.
bool SectionFound(const char* name, const FlashSectionInfo& receiver, const ExpectedWord& start,
                  std::vector<std::string>& lines) {
    if (!start.present) return false;
    if (receiver.length != 0) return true;
    char line[kLineBytes];
    std::snprintf(line, sizeof line,
                  "Verify: no %s section in the receiver, start word 0x%08x in the image", name,
                  start.value);
    lines.emplace_back(line);
    return false;
}

}  // namespace

std::vector<std::string> FlashDifferences(const ReceiverInfo& receiver,
                                          const FlashExpectation& image) {
    std::vector<std::string> lines;
    const FlashSectionInfo& pfld = receiver.pfld;
    if (SectionFound("PFLD", pfld, image.pfldStart, lines)) {
        CompareWord("PFLD start word", pfld.start, image.pfldStart, lines);
        CompareWord("PFLD end word", pfld.start + pfld.length, image.pfldEnd, lines);
        CompareWord("PFLD check word", pfld.crc, image.pfldCheck, lines);
        CompareVersion(pfld, image, lines);
    }
    const FlashSectionInfo& fw = receiver.main;
    if (SectionFound("FW", fw, image.fwStart, lines)) {
        CompareWord("FW start word", fw.start, image.fwStart, lines);
        CompareWord("FW end word", fw.start + fw.length, image.fwEnd, lines);
    }
    return lines;
}

FwCheck CompareFwCheckWord(const ReceiverInfo& receiver, const FlashExpectation& image,
                           std::string& line) {
    line.clear();
    if (receiver.main.length == 0) return FwCheck::NotShown;
    const uint32_t stored = receiver.main.crc;
    char text[kLineBytes];
    if (!image.fwCheck.present) {
        std::snprintf(text, sizeof text, "FW check word 0x%08x (the image has no FW section)",
                      stored);
        line = text;
        return FwCheck::NotShown;
    }
    if (stored == kWordReadFailed) {
        line = "FW check word not stored";
        return FwCheck::NotStored;
    }
    if (stored != image.fwCheck.value) {
        std::vector<std::string> lines;
        CompareWord("FW check word", stored, image.fwCheck, lines);
        line = lines.front();
        return FwCheck::Differs;
    }
    std::snprintf(text, sizeof text,
                  image.fwCheckSent ? "FW check word 0x%08x as the image sends it"
                                    : "FW check word 0x%08x matches the image's content",
                  stored);
    line = text;
    return image.fwCheckSent ? FwCheck::SentWord : FwCheck::ContentSum;
}

}  // namespace zelvar
