// The composite image builder: section layout, header and check words, and the SFLD
// section whose text is aligned to whole words through its S0 header.
#include "image/composite_builder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "frame_decode.h"
#include "image/srecord_reader.h"
#include "image/srecord_writer.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

uint32_t WordAt(const std::vector<uint8_t>& bytes, std::size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

// XOR of the words in [from, to), computed word by word.
uint32_t XorRange(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t to) {
    uint32_t sum = 0;
    for (std::size_t i = from; i < to; i += 4) sum ^= WordAt(bytes, i);
    return sum;
}

std::vector<uint8_t> Random(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out(n);
    for (auto& b : out) b = static_cast<uint8_t>(random());
    return out;
}

struct Built {
    std::vector<uint8_t> bytes;
    std::string sfld;  // the SFLD text as stored
};

Built Build(const CompositeImageParts& parts) {
    Built built;
    std::string error;
    EXPECT_TRUE(BuildCompositeImage(parts, built.bytes, error)) << error;
    if (built.bytes.size() < 0x4028) return built;
    const std::size_t sectionStart = WordAt(built.bytes, 0x4024) - 0x10000000 + 4;
    if (built.bytes.size() >= sectionStart + 4) {
        built.sfld.assign(built.bytes.begin() + sectionStart, built.bytes.end() - 4);
    }
    return built;
}

TEST(CompositeBuilderTest, SectionsCarryHeadersAndCheckWords) {
    CompositeImageParts parts;
    parts.pfld = Random(0x1235, 1);  // not a whole number of words
    parts.fw = Random(0x20000, 2);
    const Built image = Build(parts);
    const auto& b = image.bytes;
    ASSERT_EQ(b.size(), 0x4000u + 0x20000 + 4);
    EXPECT_EQ(b[3], 0xE5);
    EXPECT_EQ(b[0x4003], 0xE5);
    EXPECT_EQ(WordAt(b, 0x20), 0x10000000u);
    EXPECT_EQ(WordAt(b, 0x24), 0x10001238u);
    EXPECT_EQ(WordAt(b, 0x4020), 0x10004000u);
    EXPECT_EQ(WordAt(b, 0x4024), 0x10024000u);
    EXPECT_EQ(b[0x1235], 0xFF);  // the partial last word is padded
    EXPECT_EQ(WordAt(b, 0x1238), XorRange(b, 0, 0x1238));
    EXPECT_EQ(WordAt(b, 0x24000), XorRange(b, 0x4000, 0x24000));
    for (std::size_t i = 0x123C; i < 0x4000; ++i) ASSERT_EQ(b[i], 0xFF) << i;
    for (std::size_t i = 0x28; i < 0x1235; ++i) ASSERT_EQ(b[i], parts.pfld[i]) << i;
    EXPECT_EQ(XorWordsLE(b.data(), 0x1238), XorRange(b, 0, 0x1238));
}

TEST(CompositeBuilderTest, SectionSizeLimits) {
    std::vector<uint8_t> out;
    std::string error;
    CompositeImageParts parts;
    parts.pfld.assign(0x3FFC, 0);
    parts.fw.assign(0xFFFFC, 0);
    ASSERT_TRUE(BuildCompositeImage(parts, out, error)) << error;
    EXPECT_EQ(WordAt(out, 0x24), 0x10003FFCu);  // check word in the last word before 0x4000
    EXPECT_EQ(WordAt(out, 0x4024), 0x10103FFCu);
    parts.pfld.assign(0x3FFD, 0);
    EXPECT_FALSE(BuildCompositeImage(parts, out, error));
    EXPECT_FALSE(error.empty());
    parts.pfld.clear();  // an empty section still gets its header words
    parts.fw.assign(0xFFFFD, 0);
    EXPECT_FALSE(BuildCompositeImage(parts, out, error));
    parts.fw.clear();
    ASSERT_TRUE(BuildCompositeImage(parts, out, error)) << error;
    EXPECT_EQ(WordAt(out, 0x24), 0x10000028u);
    EXPECT_EQ(out.size(), 0x4000u + 0x28 + 4);
}

TEST(CompositeBuilderTest, XorWordsZeroFillsTheLastPartialWord) {
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x10, 0x20, 0x30};
    EXPECT_EQ(XorWordsLE(bytes, 0), 0u);
    EXPECT_EQ(XorWordsLE(bytes, 4), 0x04030201u);
    EXPECT_EQ(XorWordsLE(bytes, 5), 0x04030211u);
    EXPECT_EQ(XorWordsLE(bytes, 7), 0x04332211u);
}

// Decodes text with the reader and returns its data bytes by address.
test::CollectedImage Decode(const std::string& text, const test::TempDir& dir, bool& scanned) {
    const std::string path = dir.File("text.srec");
    test::WriteFile(path, text);
    CSRecordReader reader;
    EXPECT_TRUE(reader.Open(path.c_str()));
    scanned = reader.Scan();
    reader.Rewind();
    return test::CollectFrames([&reader](CLoaderRecord& r) { return reader.NextRecord(r); });
}

TEST(CompositeBuilderTest, SfldTextIsAlignedThroughItsHeader) {
    test::TempDir dir;
    const std::vector<uint8_t> data = Random(45, 3);
    std::vector<std::string> texts;
    for (const char* header : {"", "a", "ab", "abc", "SFLD 1.0"}) {
        std::string text = MakeSRecordText(0x00201000, data, 0x00201000, 16, header);
        texts.push_back(text);
        std::string crlf;
        for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        texts.push_back(crlf);
        texts.push_back(text.substr(text.find('\n') + 1));  // no S0 line at all
        std::string last = text.substr(text.find('\n') + 1) + text.substr(0, text.find('\n'));
        texts.push_back(last);  // the S0 line last, without a line end
    }
    for (const std::string& text : texts) {
        CompositeImageParts parts;
        parts.sfld = text;
        const Built image = Build(parts);
        ASSERT_EQ(image.bytes.size() % 4, 0u) << text;
        ASSERT_EQ(image.sfld.size() % 4, 0u);
        EXPECT_EQ(
            WordAt(image.bytes, image.bytes.size() - 4),
            XorWordsLE(reinterpret_cast<const uint8_t*>(image.sfld.data()), image.sfld.size()));
        EXPECT_EQ(image.sfld.find("\n\n"), std::string::npos);
        EXPECT_EQ(image.sfld.find("\n\r\n"), std::string::npos);
        if (text.size() % 4 == 0) {
            EXPECT_EQ(image.sfld, text);
        }
        bool scanned = false;
        const auto decoded = Decode(image.sfld, dir, scanned);
        EXPECT_TRUE(scanned) << image.sfld;
        ASSERT_TRUE(decoded.ok) << decoded.problem;
        ASSERT_EQ(decoded.memory.size(), data.size());
        for (std::size_t i = 0; i < data.size(); ++i) {
            ASSERT_EQ(decoded.memory.at(0x00201000 + static_cast<uint32_t>(i)), data[i]);
        }
        // Only the header line changes: the S3 and S7 lines are all still there.
        std::size_t pos = text.find("S3");
        EXPECT_NE(image.sfld.find(text.substr(pos, text.find("S7") - pos)), std::string::npos);
    }
}

TEST(CompositeBuilderTest, HeaderTooLongOrBrokenCannotAlign) {
    CompositeImageParts parts;
    std::vector<uint8_t> out;
    std::string error;
    // 34 header bytes fill a 78-character line; with two characters short there is no
    // room for one more header byte, and a longer line end gives only one.
    std::vector<uint8_t> data(1, 0x42);
    const std::string header(34, 'h');
    while (MakeSRecordText(0x1000, data, 0x1000, 16, header).size() % 4 != 2) data.push_back(7);
    parts.sfld = MakeSRecordText(0x1000, data, 0x1000, 16, header);
    EXPECT_FALSE(BuildCompositeImage(parts, out, error));
    EXPECT_FALSE(error.empty());
    parts.sfld = "S0030000FD\n" + MakeSRecordText(0x1000, data, 0x1000).substr(11);
    ASSERT_NE(parts.sfld.size() % 4, 0u);
    EXPECT_FALSE(BuildCompositeImage(parts, out, error));
}

TEST(CompositeBuilderTest, MakeSRecordTextWritesHeaderDataAndEntry) {
    const std::string text =
        MakeSRecordText(0x10000000, {0xDE, 0xAD, 0xBE, 0xEF, 0x01}, 0x10000004, 4, "HDR");
    EXPECT_EQ(text,
              "S00600004844521B\n"
              "S30910000000DEADBEEFAE\n"
              "S3061000000401E4\n"
              "S70510000004E6\n");
}

}  // namespace
}  // namespace zelvar
