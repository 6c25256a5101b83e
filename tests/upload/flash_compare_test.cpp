// The comparison behind the check after a flash: which differences it names and which
// words it leaves alone.
#include "upload/flash_compare.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/flash_map.h"

namespace zelvar {
namespace {

constexpr uint32_t kPfldEnd = kFlashBase + 0x2ffc;
constexpr uint32_t kFwEnd = kFwBase + 0x8000;

FlashExpectation Image() {
    FlashExpectation image;
    image.pfldStart = {true, kFlashBase};
    image.pfldEnd = {true, kPfldEnd};
    image.pfldCheck = {true, 0x1234ABCD};
    image.pfldVersionPresent = true;
    image.pfldVersion.major = 1;
    image.pfldVersion.minor = 5;
    std::strcpy(image.pfldVersion.text, "1.05");
    image.fwStart = {true, kFwBase};
    image.fwEnd = {true, kFwEnd};
    image.fwCheck = {true, 0x0BADF00D};
    return image;
}

// A receiver that shows exactly what the image programs, and a FW check word.
ReceiverInfo Matching() {
    const FlashExpectation image = Image();
    ReceiverInfo receiver;
    receiver.pfld = image.pfldVersion;
    receiver.pfld.start = kFlashBase;
    receiver.pfld.length = kPfldEnd - kFlashBase;
    receiver.pfld.crc = image.pfldCheck.value;
    receiver.main.start = kFwBase;
    receiver.main.length = kFwEnd - kFwBase;
    receiver.main.crc = 0x0BADF00D;
    std::strcpy(receiver.main.text, "GQ07");
    return receiver;
}

TEST(VerifyCompare, MatchingReceiverHasNoDifferenceAndItsFwCheckWordVouchesForTheContent) {
    EXPECT_TRUE(FlashDifferences(Matching(), Image()).empty());
    std::string line;
    EXPECT_EQ(CompareFwCheckWord(Matching(), Image(), line), FwCheck::ContentSum);
    EXPECT_EQ(line, "FW check word 0x0badf00d matches the image's content");
}

// A stored word other than the image's fails; an erased one was not stored; a word the
// image sends itself shows only that it arrived.
TEST(VerifyCompare, FwCheckWordIsComparedOnlyWhenStoredAndCountsOnlyWhenSummed) {
    ReceiverInfo receiver = Matching();
    receiver.main.crc = 0x0BADF00C;
    std::string line;
    EXPECT_EQ(CompareFwCheckWord(receiver, Image(), line), FwCheck::Differs);
    EXPECT_EQ(line, "Verify: FW check word 0x0badf00c in the receiver, 0x0badf00d in the image");
    receiver.main.crc = 0xFFFFFFFF;
    EXPECT_EQ(CompareFwCheckWord(receiver, Image(), line), FwCheck::NotStored);
    EXPECT_EQ(line, "FW check word not stored");
    FlashExpectation sent = Image();
    sent.fwCheckSent = true;
    EXPECT_EQ(CompareFwCheckWord(Matching(), sent, line), FwCheck::SentWord);
    EXPECT_EQ(line, "FW check word 0x0badf00d as the image sends it");
}

TEST(VerifyCompare, EachDifferingWordIsNamedWithBothValues) {
    ReceiverInfo receiver = Matching();
    receiver.pfld.minor = 4;
    std::strcpy(receiver.pfld.text, "1.04");
    receiver.main.length += 4;
    const std::vector<std::string> lines = FlashDifferences(receiver, Image());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Verify: PFLD version 1.4 (1.04) in the receiver, 1.5 (1.05) in the image");
    EXPECT_EQ(lines[1], "Verify: FW end word 0x1000c004 in the receiver, 0x1000c000 in the image");
}

TEST(VerifyCompare, MissingSectionIsOneLineAndUnprogrammedWordsAreNotCompared) {
    ReceiverInfo receiver = Matching();
    receiver.main = FlashSectionInfo{};
    receiver.pfld.crc = 0xFFFFFFFF;
    FlashExpectation image = Image();
    image.pfldCheck.present = false;
    const std::vector<std::string> lines = FlashDifferences(receiver, image);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "Verify: no FW section in the receiver, start word 0x10004000 in the image");
    std::string line = "x";
    EXPECT_EQ(CompareFwCheckWord(receiver, image, line), FwCheck::NotShown);
    EXPECT_EQ(line, "");

    // An image without a PFLD section expects nothing of the receiver's.
    image = Image();
    image.pfldStart.present = false;
    receiver = Matching();
    receiver.pfld = FlashSectionInfo{};
    EXPECT_TRUE(FlashDifferences(receiver, image).empty());
}

}  // namespace
}  // namespace zelvar
