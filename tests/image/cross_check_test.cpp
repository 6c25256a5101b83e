// Cross-checks against tools this team did not write: Debian's srec_cat and binutils'
// objcopy turn seeded random binaries into S3 text; the frames read from that text must
// carry exactly the original bytes at the original addresses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "frame_decode.h"
#include "image/composite_builder.h"
#include "image/srecord_reader.h"
#include "image/srecord_writer.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

bool HaveTool(const char* name) {
    const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool RunTool(const std::string& command) {
    return std::system((command + " 2>&1").c_str()) == 0;
}

std::string Hex(uint32_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

struct Chunk {
    uint32_t address;
    std::vector<uint8_t> bytes;
};

// Chunks with gaps of 1 byte to several kilobytes, unaligned starts and odd sizes.
std::vector<Chunk> RandomChunks(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Chunk> chunks;
    uint32_t address = 0x10000000 + (random() % 4096);
    const int count = 1 + static_cast<int>(random() % 6);
    for (int c = 0; c < count; ++c) {
        Chunk chunk{address, std::vector<uint8_t>(1 + random() % 6000)};
        for (auto& b : chunk.bytes) b = static_cast<uint8_t>(random());
        const uint32_t gaps[] = {1, 2, 3, 17, 2048, 65536 + 5};
        address += static_cast<uint32_t>(chunk.bytes.size()) + gaps[random() % 6];
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

std::map<uint32_t, uint8_t> MemoryOf(const std::vector<Chunk>& chunks) {
    std::map<uint32_t, uint8_t> memory;
    for (const Chunk& chunk : chunks) {
        for (std::size_t i = 0; i < chunk.bytes.size(); ++i) {
            memory[chunk.address + static_cast<uint32_t>(i)] = chunk.bytes[i];
        }
    }
    return memory;
}

// What a scan must report, read straight from the text's S3 and S7 lines.
struct ExpectedScan {
    uint32_t start = 0xFFFFFFFF;
    uint32_t highest = 0;
    uint32_t entry = 0xFFFFFFFF;
};

ExpectedScan ExpectedFromText(const std::string& text) {
    ExpectedScan expected;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("S3", 0) == 0 || line.rfind("S7", 0) == 0) {
            const uint32_t address =
                static_cast<uint32_t>(std::stoul(line.substr(4, 8), nullptr, 16));
            if (line[1] == '7') {
                expected.entry = address;
            } else {
                expected.start = std::min(expected.start, address);
                expected.highest = std::max(expected.highest, address);
            }
        }
    }
    if (expected.entry == 0xFFFFFFFF) expected.entry = expected.start;
    return expected;
}

class CrossCheckTest : public ::testing::Test {
  protected:
    std::vector<std::string> WriteChunks(const std::vector<Chunk>& chunks) {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            paths.push_back(m_dir.File("chunk" + std::to_string(i) + ".bin"));
            test::WriteFile(paths.back(),
                            std::string(chunks[i].bytes.begin(), chunks[i].bytes.end()));
        }
        return paths;
    }

    // Reads text with the reader and checks scan and frames against the chunks.
    void Verify(const std::string& text, const std::vector<Chunk>& chunks) {
        const std::string path = m_dir.File("tool.srec");
        test::WriteFile(path, text);
        CSRecordReader reader;
        ASSERT_TRUE(reader.Open(path.c_str()));
        ASSERT_TRUE(reader.Scan());
        const ExpectedScan expected = ExpectedFromText(text);
        EXPECT_EQ(reader.StartAddress(), expected.start);
        EXPECT_EQ(reader.StartAddress(), chunks.front().address);
        EXPECT_EQ(reader.ImageSize(), expected.highest - expected.start);
        EXPECT_EQ(reader.EntryPoint(), expected.entry);
        reader.Rewind();
        const auto frames =
            test::CollectFrames([&reader](CLoaderRecord& r) { return reader.NextRecord(r); });
        ASSERT_TRUE(frames.ok) << frames.problem;
        EXPECT_LE(frames.maxFrameData, 2048u);
        EXPECT_TRUE(frames.memory == MemoryOf(chunks));
        // A new frame starts only at a gap or after a full frame.
        for (std::size_t i = 1; i < frames.frameAddresses.size(); ++i) {
            const bool follows =
                frames.frameAddresses[i - 1] + frames.frameSizes[i - 1] == frames.frameAddresses[i];
            EXPECT_TRUE(!follows || frames.frameSizes[i - 1] == 2048) << i;
        }
    }

    test::TempDir m_dir;
};

TEST_F(CrossCheckTest, SrecCatImagesReadBackExactly) {
    if (!HaveTool("srec_cat")) GTEST_SKIP() << "srec_cat (package srecord) is not installed";
    const int lengths[] = {1, 5, 16, 27, 32};
    for (unsigned seed = 1; seed <= 15; ++seed) {
        const auto chunks = RandomChunks(seed);
        const auto paths = WriteChunks(chunks);
        const int length = lengths[seed % 5];
        std::string command = "srec_cat";
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            command += " " + paths[i] + " -binary -offset " + Hex(chunks[i].address);
        }
        command += " -o " + m_dir.File("out.srec") +
                   " -motorola -address-length=4 -output_block_size=" + std::to_string(length);
        if (seed % 2) command += " -execution-start-address=" + Hex(chunks.back().address + 1);
        ASSERT_TRUE(RunTool(command)) << command;
        SCOPED_TRACE("seed " + std::to_string(seed) + ", record length " + std::to_string(length));
        Verify(test::ReadFile(m_dir.File("out.srec")), chunks);
    }
}

TEST_F(CrossCheckTest, ObjcopyImagesReadBackExactly) {
    if (!HaveTool("objcopy")) GTEST_SKIP() << "objcopy (binutils) is not installed";
    const int lengths[] = {3, 16, 24, 32};
    for (unsigned seed = 100; seed < 112; ++seed) {
        const auto chunks = RandomChunks(seed);
        WriteChunks(chunks);
        const int length = lengths[seed % 4];
        std::string text;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            // objcopy puts the output file's name into the S0 header; a short relative
            // name keeps that line within the 78 characters the reader takes.
            const std::string name = "chunk" + std::to_string(i);
            const std::string command =
                "cd " + m_dir.Path() + " && objcopy -I binary -O srec --srec-forceS3 --srec-len=" +
                std::to_string(length) + " --change-addresses=" + Hex(chunks[i].address) + " " +
                name + ".bin " + name + ".srec";
            ASSERT_TRUE(RunTool(command)) << command;
            text += test::ReadFile(m_dir.File(name + ".srec"));
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + ", record length " + std::to_string(length));
        Verify(text, chunks);
    }
}

// The other direction: srec_cat must accept what the library writes (including the
// SFLD text whose header was rewritten to align it) and give back the same bytes.
TEST_F(CrossCheckTest, SrecCatAcceptsWrittenAndAlignedText) {
    if (!HaveTool("srec_cat")) GTEST_SKIP() << "srec_cat (package srecord) is not installed";
    std::mt19937 random(77);
    for (int round = 0; round < 6; ++round) {
        std::vector<uint8_t> data(100 + random() % 900);
        for (auto& b : data) b = static_cast<uint8_t>(random());
        const std::string header(static_cast<std::size_t>(round), 'h');
        CompositeImageParts parts;
        parts.sfld = MakeSRecordText(0x00201000, data, 0x00201000, 8 + round * 4, header);
        std::vector<uint8_t> image;
        std::string error;
        ASSERT_TRUE(BuildCompositeImage(parts, image, error)) << error;
        const std::size_t start = 0x4000 + 0x28 + 4;
        const std::string aligned(image.begin() + start, image.end() - 4);
        test::WriteFile(m_dir.File("aligned.srec"), aligned);
        const std::string command = "srec_cat " + m_dir.File("aligned.srec") +
                                    " -motorola -offset -0x00201000 -o " +
                                    m_dir.File("aligned.bin") + " -binary";
        ASSERT_TRUE(RunTool(command)) << command;
        EXPECT_EQ(test::ReadFile(m_dir.File("aligned.bin")), std::string(data.begin(), data.end()));
    }
}

}  // namespace
}  // namespace zelvar
