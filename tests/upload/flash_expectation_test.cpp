// The words an image leaves in a receiver's flash, from a composite image and from
// S-record text of the same bytes, and the words an image does not program.
#include "upload/flash_expectation.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/flash_map.h"
#include "image/composite_builder.h"
#include "support/image_recipes.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kPfldBytes = 0x1800;  // a whole number of words: no padding
constexpr std::size_t kFwBytes = 0x2400;
constexpr char kVersion[] = "PFLD v1.06 ";

uint32_t WordOf(const std::vector<uint8_t>& image, uint32_t address) {
    const std::size_t at = address - kFlashBase;
    return image[at] | (image[at + 1] << 8) | (image[at + 2] << 16) |
           (static_cast<uint32_t>(image[at + 3]) << 24);
}

class FlashExpectationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CompositeImageParts parts = MakeParts(4, kPfldBytes, kFwBytes, false);
        // The version text lies in the 32 bytes before the PFLD check word.
        std::memcpy(parts.pfld.data() + kPfldBytes - 24, kVersion, sizeof kVersion - 1);
        composite = BuildImage(parts);
        ASSERT_FALSE(composite.empty());
    }
    // S-record text of the image's bytes from from up to to (flash addresses).
    std::string SRecordPath(const std::string& name, uint32_t from, uint32_t to) {
        const std::vector<uint8_t> part(composite.begin() + (from - kFlashBase),
                                        composite.begin() + (to - kFlashBase));
        const std::string path = dir.File(name);
        WriteFile(path, MakeSRecordText(from, part, from, 32));
        return path;
    }
    FlashExpectation Read(const std::string& path) {
        FlashExpectation expectation;
        EXPECT_TRUE(ReadFlashExpectation(path.c_str(), expectation)) << path;
        return expectation;
    }

    TempDir dir;
    std::vector<uint8_t> composite;
};

void ExpectWord(const ExpectedWord& word, uint32_t value, const char* name) {
    EXPECT_TRUE(word.present) << name;
    EXPECT_EQ(word.value, value) << name;
}

TEST_F(FlashExpectationTest, CompositeAndSRecordOfTheSameBytesExpectTheSameWords) {
    const std::string binary = dir.File("image.bin");
    WriteFile(binary, std::string(composite.begin(), composite.end()));
    const uint32_t pfldEnd = kFlashBase + kPfldBytes;
    const uint32_t fwEnd = kFwBase + kFwBytes;
    // The upload sends everything up to the FW end address.
    for (const std::string& path : {binary, SRecordPath("image.srec", kFlashBase, fwEnd)}) {
        SCOPED_TRACE(path);
        const FlashExpectation e = Read(path);
        ExpectWord(e.pfldStart, kFlashBase, "PFLD start");
        ExpectWord(e.pfldEnd, pfldEnd, "PFLD end");
        ExpectWord(e.pfldCheck, WordOf(composite, pfldEnd), "PFLD check word");
        EXPECT_NE(e.pfldCheck.value, 0xFFFFFFFFu);
        ASSERT_TRUE(e.pfldVersionPresent);
        EXPECT_EQ(e.pfldVersion.major, 1);
        EXPECT_EQ(e.pfldVersion.minor, 6);
        EXPECT_STREQ(e.pfldVersion.text, "1.06");
        ExpectWord(e.fwStart, kFwBase, "FW start");
        ExpectWord(e.fwEnd, fwEnd, "FW end");
    }
}

TEST_F(FlashExpectationTest, WordsTheImageDoesNotProgramAreNotExpected) {
    // The FW section alone: no PFLD words at all.
    FlashExpectation e = Read(SRecordPath("fw.srec", kFwBase, kFwBase + kFwBytes));
    EXPECT_FALSE(e.pfldStart.present);
    EXPECT_FALSE(e.pfldEnd.present);
    EXPECT_FALSE(e.pfldCheck.present);
    EXPECT_FALSE(e.pfldVersionPresent);
    ExpectWord(e.fwEnd, kFwBase + kFwBytes, "FW end");

    // The PFLD header, but the data stops before its version text and check word.
    e = Read(SRecordPath("head.srec", kFlashBase, kFlashBase + kPfldBytes - 64));
    ExpectWord(e.pfldEnd, kFlashBase + kPfldBytes, "PFLD end");
    EXPECT_FALSE(e.pfldCheck.present);
    EXPECT_FALSE(e.pfldVersionPresent);
    EXPECT_FALSE(e.fwStart.present);
}

TEST_F(FlashExpectationTest, AFileThatIsNoImageHasNoExpectation) {
    const std::string path = dir.File("text.txt");
    WriteFile(path, "not an image\n");
    FlashExpectation expectation;
    EXPECT_FALSE(ReadFlashExpectation(path.c_str(), expectation));
    EXPECT_FALSE(ReadFlashExpectation(dir.File("missing.bin").c_str(), expectation));
}

}  // namespace
}  // namespace zelvar::test
