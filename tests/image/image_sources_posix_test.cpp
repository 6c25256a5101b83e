// Image sources: format detection, the binary reader's scan and frames, and a full
// composite image going out frame by frame.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame_decode.h"
#include "image/binary_image_reader.h"
#include "image/composite_builder.h"
#include "image/firmware_image.h"
#include "image/srecord_writer.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

void PutWord(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A flat binary file of fileSize random bytes whose FW end word makes the image
// imageSize bytes long.
std::vector<uint8_t> FlatImage(std::size_t fileSize, uint32_t imageSize, unsigned seed) {
    std::vector<uint8_t> bytes(fileSize);
    std::mt19937 random(seed);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    PutWord(bytes, 0x4020, 0x10004000);
    PutWord(bytes, 0x4024, 0x10000000 + imageSize);
    return bytes;
}

class ImageSourcesTest : public ::testing::Test {
  protected:
    std::string Write(const std::vector<uint8_t>& bytes) {
        const std::string path = m_dir.File("image" + std::to_string(m_files++) + ".bin");
        test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    std::string WriteText(const std::string& text) {
        return Write(std::vector<uint8_t>(text.begin(), text.end()));
    }
    test::CollectedImage Frames(CFirmwareImage& image) {
        return test::CollectFrames([&image](CLoaderRecord& r) { return image.NextRecord(r); });
    }
    // Asserts that the frames carry exactly bytes [0, size) at 0x10000000 in 2048-byte
    // frames (the last one shorter).
    void ExpectFlatFrames(const test::CollectedImage& frames, const std::vector<uint8_t>& bytes,
                          uint32_t size) {
        ASSERT_TRUE(frames.ok) << frames.problem;
        ASSERT_EQ(frames.memory.size(), size);
        const std::size_t count = (size + 2047) / 2048;
        ASSERT_EQ(frames.frameAddresses.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(frames.frameAddresses[i], 0x10000000u + 2048 * i);
            EXPECT_EQ(frames.frameSizes[i], i + 1 < count ? 2048 : size - 2048 * (count - 1));
        }
        uint32_t address = 0x10000000;
        for (const auto& [a, b] : frames.memory) {
            ASSERT_EQ(a, address);
            ASSERT_EQ(b, bytes[a - 0x10000000]) << std::hex << a;
            ++address;
        }
    }

    test::TempDir m_dir;
    int m_files = 0;
};

TEST_F(ImageSourcesTest, FormatIsDecidedByTheFirstLine) {
    CFirmwareImage image;
    ASSERT_TRUE(image.Open(WriteText("S00600004844521B\ngarbage\n").c_str()));
    EXPECT_EQ(image.Format(), FormatSRecord);
    EXPECT_EQ(image.BinaryStream(), nullptr);
    ASSERT_TRUE(image.Open(WriteText("S5030003F9\n").c_str()));
    EXPECT_EQ(image.Format(), FormatSRecord);
    ASSERT_TRUE(image.Open(WriteText("").c_str()));  // the probe accepts the end
    EXPECT_EQ(image.Format(), FormatSRecord);
    ASSERT_TRUE(image.Open(WriteText("S30910000000DEADBEEFAD\n").c_str()));  // bad checksum
    EXPECT_EQ(image.Format(), FormatBinary);
    EXPECT_NE(image.BinaryStream(), nullptr);
    EXPECT_EQ(image.Origin(), OriginFile);
}

TEST_F(ImageSourcesTest, FailedOpenLeavesNothingOpen) {
    CFirmwareImage image;
    ASSERT_TRUE(image.Open(Write(FlatImage(0x5000, 0x4800, 1)).c_str()));
    ASSERT_NE(image.BinaryStream(), nullptr);
    EXPECT_FALSE(image.Open(m_dir.File("missing.bin").c_str()));
    EXPECT_EQ(image.Origin(), OriginNone);
    EXPECT_EQ(image.BinaryStream(), nullptr);
    EXPECT_FALSE(image.Scan());
}

TEST_F(ImageSourcesTest, OnlyRegularFilesOpenAsImages) {
    // A directory opens as a stream whose every read fails, and a FIFO without a writer
    // blocks its open: neither is an image, and neither may pass as an empty text.
    const std::string directory = m_dir.File("image.d");
    ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
    const std::string fifo = m_dir.File("image.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {directory, fifo}) {
        CSRecordReader reader;
        EXPECT_FALSE(reader.Open(path.c_str())) << path;
        CFirmwareImage image;
        EXPECT_FALSE(image.Open(path.c_str())) << path;
    }
}

TEST_F(ImageSourcesTest, SRecordImageIsScannedAndSent) {
    std::vector<uint8_t> data(300);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    CFirmwareImage image;
    ASSERT_TRUE(image.Open(WriteText(MakeSRecordText(0x10000000, data, 0x10000040, 32)).c_str()));
    ASSERT_TRUE(image.Scan());
    EXPECT_EQ(image.StartAddress(), 0x10000000u);
    EXPECT_EQ(image.EntryPoint(), 0x10000040u);
    EXPECT_EQ(image.ImageSize(), 288u);  // the last record starts at +288
    image.Rewind();
    const auto frames = Frames(image);
    ASSERT_TRUE(frames.ok) << frames.problem;
    EXPECT_EQ(frames.memory.size(), 300u);
}

TEST_F(ImageSourcesTest, ShortBinaryFileOpensButFailsScan) {
    CFirmwareImage image;
    for (std::size_t size : {std::size_t{0x100}, std::size_t{0x4020}, std::size_t{0x4026}}) {
        auto bytes = FlatImage(0x4028, 0x4800, 2);
        bytes.resize(size);
        ASSERT_TRUE(image.Open(Write(bytes).c_str())) << size;
        EXPECT_EQ(image.Format(), FormatBinary);
        EXPECT_FALSE(image.Scan()) << size;
    }
    auto wrongStart = FlatImage(0x5000, 0x4800, 3);
    PutWord(wrongStart, 0x4020, 0x10004004);
    ASSERT_TRUE(image.Open(Write(wrongStart).c_str()));
    EXPECT_FALSE(image.Scan());
}

TEST_F(ImageSourcesTest, BinaryFramesStopAtTheImageSize) {
    for (uint32_t size : {0x4800u, 0x4801u, 0x4FFFu, 0x6000u}) {
        const auto bytes = FlatImage(0x7000, size, size);
        CFirmwareImage image;
        ASSERT_TRUE(image.Open(Write(bytes).c_str()));
        ASSERT_TRUE(image.Scan());
        EXPECT_EQ(image.StartAddress(), 0x10000000u);
        EXPECT_EQ(image.EntryPoint(), 0x10000000u);
        EXPECT_EQ(image.ImageSize(), size);
        image.Rewind();
        ExpectFlatFrames(Frames(image), bytes, size);
    }
}

TEST_F(ImageSourcesTest, WholeBlocksEndWithAFrameWithoutData) {
    const auto bytes = FlatImage(12 * 2048, 12 * 2048, 4);
    CFirmwareImage image;
    ASSERT_TRUE(image.Open(Write(bytes).c_str()));
    ASSERT_TRUE(image.Scan());
    image.Rewind();
    ExpectFlatFrames(Frames(image), bytes, 12 * 2048);
    CLoaderRecord record;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(image.NextRecord(record));
        EXPECT_EQ(record.DataCount(), 0);
    }
}

TEST_F(ImageSourcesTest, RewindAfterPartialReadOrStreamUseStartsAgain) {
    const auto bytes = FlatImage(0x6000, 0x5800, 5);
    CFirmwareImage image;
    ASSERT_TRUE(image.Open(Write(bytes).c_str()));
    ASSERT_TRUE(image.Scan());
    image.Rewind();
    CLoaderRecord record;
    ASSERT_TRUE(image.NextRecord(record));
    ASSERT_TRUE(image.NextRecord(record));
    EXPECT_EQ(record.BaseAddress(), 0x10000800u);
    // The composite image check reads the stream directly, then the upload rewinds.
    FILE* stream = image.BinaryStream();
    ASSERT_NE(stream, nullptr);
    std::fseek(stream, 0, SEEK_END);
    std::fgetc(stream);  // sets the end-of-file indicator
    image.Rewind();
    ExpectFlatFrames(Frames(image), bytes, 0x5800);
}

TEST_F(ImageSourcesTest, ClosedBinaryReaderFails) {
    CBinaryImageReader reader;
    uint8_t block[16];
    uint16_t count = 7;
    EXPECT_EQ(reader.ReadBlock(block, sizeof(block), count), ReadError);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(reader.Scan());
    CLoaderRecord record;
    EXPECT_FALSE(reader.NextRecord(record));
    EXPECT_EQ(reader.Stream(), nullptr);
}

TEST_F(ImageSourcesTest, OneMegabyteCompositeGoesOutUpToTheFwEnd) {
    CompositeImageParts parts;
    std::mt19937 random(1234);
    parts.pfld.resize(0x2F00);
    for (auto& b : parts.pfld) b = static_cast<uint8_t>(random());
    parts.fw.resize(0xFBF00);  // ends the image 0x100 bytes short of 1 MiB
    for (auto& b : parts.fw) b = static_cast<uint8_t>(random());
    parts.sfld = MakeSRecordText(0x00201000, std::vector<uint8_t>(0x60, 0x11), 0x00201000);
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(BuildCompositeImage(parts, file, error)) << error;
    const std::string path = m_dir.File("CorvaneAndPfl.bin");
    ASSERT_TRUE(WriteCompositeImage(parts, path.c_str(), error)) << error;
    EXPECT_EQ(test::ReadFile(path), std::string(file.begin(), file.end()));

    const uint32_t fwEnd = 0x10004000 + 0xFBF00;
    CFirmwareImage image;
    ASSERT_TRUE(image.Open(path.c_str()));
    ASSERT_EQ(image.Format(), FormatBinary);
    ASSERT_TRUE(image.Scan());
    EXPECT_EQ(image.ImageSize(), fwEnd - 0x10000000);
    EXPECT_GT(file.size(), image.ImageSize() + 4);  // check word and SFLD stay behind
    image.Rewind();
    const auto frames = Frames(image);
    ExpectFlatFrames(frames, file, fwEnd - 0x10000000);
    EXPECT_EQ(frames.memory.rbegin()->first, fwEnd - 1);
}

}  // namespace
}  // namespace zelvar
