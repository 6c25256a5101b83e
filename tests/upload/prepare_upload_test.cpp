// Images that preparation refuses: the job ends with -3 and nothing reaches the port.
#include "upload/prepare_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "app/jobs.h"
#include "base/shared_state.h"
#include "link/receiver_queries.h"
#include "sim_upload_fixture.h"
#include "support/dialog_job_controls.h"
#include "support/pty_pair.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kFwBytes = 0x3000;
constexpr std::size_t kFwOffset = 0x4000;

void PutWord(std::vector<uint8_t>& image, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::string Hex(const char* format, uint32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct RefusedCase {
    const char* name;
    std::function<std::vector<uint8_t>()> image;
    bool sfldBeside;
    std::vector<std::string> lastLines;  // ending with "Upload failed"
};

// The log's lines without the two that close a refused job, which are checked here: why
// it failed, and that the receiver was not touched.
std::vector<std::string> WithoutClosingLines(std::vector<std::string> lines) {
    EXPECT_GE(lines.size(), 3u);
    if (lines.size() < 3) return lines;
    const std::size_t reason = lines.size() - 3;
    EXPECT_EQ(lines[reason].rfind("Reason: ", 0), 0u) << lines[reason];
    EXPECT_EQ(lines[reason + 1], "Receiver state: flash unchanged");
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(reason),
                lines.begin() + static_cast<std::ptrdiff_t>(reason) + 2);
    return lines;
}

class PrepareUploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_jobCancel = false;
        g_receiverInfo = ReceiverInfo{};
    }
    int Run(const std::vector<uint8_t>& image, bool sfldBeside) {
        SfldBesideProgram sfld(sfldBeside ? SfldText() : "");
        const std::string path = m_dir.File("image.bin");
        WriteFile(path, std::string(image.begin(), image.end()));
        return RunJob(m_pty.SlavePath().c_str(), path.c_str(), 0);
    }

    ProgramFilesLock m_filesLock;
    WindowFixture m_window;
    DialogJobControls m_controls;
    TempDir m_dir;
    PrivateRuntimeDir m_runtime{m_dir.Path()};
    PtyPair m_pty;
};

TEST_F(PrepareUploadTest, RefusedImagesEndTheJobBeforeAnythingIsSent) {
    const auto good = [] { return Composite(1, 2, kFwBytes, true); };
    const uint32_t fwEnd = WordAt(good(), kFwOffset + 0x24);
    const uint32_t fwCrc = WordAt(good(), fwEnd - kFlashBase);
    const std::string path = m_dir.File("image.bin");
    const RefusedCase cases[] = {
        {"firmware byte changed",
         [&] {
             auto image = good();
             image[kFwOffset + 0x100] ^= 0x01;
             return image;
         },
         false,
         {Hex("FW CRC: 0x%08x ", fwCrc ^ 1) + Hex("0x%08x FAILED.", fwCrc), "Upload failed"}},
        {"loader header start word wrong",
         [&] {
             auto image = good();
             PutWord(image, 0x20, 0x10000004);
             return image;
         },
         false,
         {"Incorrect Image", "Upload failed"}},
        {"firmware header start word wrong",
         [&] {
             auto image = good();
             PutWord(image, kFwOffset + 0x20, 0x10008000);
             return image;
         },
         true,
         {"Image Format Error (" + path + ")", "Upload failed"}},
        {"loader marker byte wrong",
         [&] {
             auto image = good();
             image[3] = 0xE4;
             return image;
         },
         false,
         {"Incorrect PFLD Image", "Upload failed"}},
        {"length not a multiple of 4",
         [&] {
             auto image = Composite(1, 2, kFwBytes, false);
             image.push_back(0);
             image.push_back(0);
             return image;
         },
         true,
         {"Image type: Binary", "Upload failed"}},
        {"file ends inside the firmware section, its words adding up to 0",
         [&] {
             auto image = good();
             PutWord(image, kFwOffset + 0x24, kFlashBase + image.size() + 0x100);
             uint32_t sum = 0;
             for (std::size_t at = kFwOffset; at < image.size(); at += 4) sum ^= WordAt(image, at);
             PutWord(image, image.size() - 4, WordAt(image, image.size() - 4) ^ sum);
             return image;
         },
         true,
         {"FW CRC: 0x00000000 0x00000000 FAILED.", "Upload failed"}},
        {"no SFLD anywhere",
         [&] { return Composite(1, 2, kFwBytes, false); },
         false,
         {"Can not open '" + ProgramDirectory() + "sfld.hex'", "Upload failed"}},
        {"loader checksum exactly 0",
         [&] {
             auto image = good();
             const uint32_t pfldEnd = WordAt(image, 0x24) - kFlashBase;
             PutWord(image, 0x100, WordAt(image, 0x100) ^ WordAt(image, pfldEnd));
             PutWord(image, pfldEnd, 0);
             return image;
         },
         false,
         {"PFLD CRC: 0x00000000 PASSED.", Hex("FW   section found at: 0x10004000, 0x%08x", fwEnd),
          Hex("FW CRC: 0x%08x PASSED.", fwCrc), "Upload failed"}},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Run(c.image(), c.sfldBeside), -3);
        const auto lines = WithoutClosingLines(LogLines(m_window.LogText()));
        ASSERT_GE(lines.size(), c.lastLines.size());
        EXPECT_EQ(std::vector<std::string>(lines.end() - c.lastLines.size(), lines.end()),
                  c.lastLines);
        EXPECT_TRUE(m_pty.Drain(20, 200).empty());
        EXPECT_TRUE(m_window.Window().IsEnabled(1024));  // Connect GPS is back
    }
}

TEST_F(PrepareUploadTest, BothChecksumsWrongShowBothFailedLinesAndNoSectionComplaint) {
    auto image = Composite(1, 2, kFwBytes, true);
    image[0x100] ^= 0x10;
    image[kFwOffset + 0x100] ^= 0x10;
    EXPECT_EQ(Run(image, false), -3);
    const auto lines = LogLines(m_window.LogText());
    int failed = 0;
    for (const auto& line : lines) failed += line.find("FAILED.") != std::string::npos;
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(CountLines(lines, "PFLD section missed or corrupted"), 0);
    EXPECT_EQ(CountLines(lines, "FW section missed or corrupted"), 0);
}

TEST_F(PrepareUploadTest, SRecordImageAwayFromTheFlashStartStopsAfterItsThreeLines) {
    SfldBesideProgram sfld(SfldText());
    const std::string path = m_dir.File("image.s19");
    WriteFile(path, MakeSRecordText(0x10004000, SectionBytes(5, 64), 0x10004000));
    EXPECT_EQ(RunJob(m_pty.SlavePath().c_str(), path.c_str(), 0), -3);
    const auto lines = WithoutClosingLines(LogLines(m_window.LogText()));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()),
              (std::vector<std::string>{
                  "Image type: Motorola S-Record", "Image Start address: 0x10004000",
                  "Image Entry point: 0x10004000", "Image Size: 48 bytes", "Upload failed"}));
    EXPECT_TRUE(m_pty.Drain(20, 200).empty());
}

TEST_F(PrepareUploadTest, PathTooLongIsAnOpenErrorNotAShorterPath) {
    // A valid image sits at a path of exactly 511 bytes; the job names that path with
    // more behind it. Cut to the reader's 511 bytes it would be the valid image.
    std::string dir = m_dir.Path();
    while (dir.size() < 511 - 64) {
        dir += std::string(std::min<std::size_t>(200, 511 - 64 - dir.size()), 'd') + "/";
        std::filesystem::create_directory(dir);
    }
    const std::string valid = dir + std::string(511 - dir.size(), 'i');
    ASSERT_EQ(valid.size(), 511u);
    const auto image = Composite(1, 2, kFwBytes, true);
    WriteFile(valid, std::string(image.begin(), image.end()));
    SfldBesideProgram sfld(SfldText());
    EXPECT_EQ(RunJob(m_pty.SlavePath().c_str(), (valid + ".other").c_str(), 0), -3);
    const auto lines = WithoutClosingLines(LogLines(m_window.LogText()));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].rfind("File open error (" + m_dir.Path(), 0), 0u);
    EXPECT_EQ(lines.back(), "Upload failed");
    for (const auto& line : lines) EXPECT_EQ(line.rfind("Opening '", 0), std::string::npos);
    EXPECT_TRUE(m_pty.Drain(20, 200).empty());
}

TEST_F(PrepareUploadTest, PortThatCannotBeOpenedEndsWithMinusTwo) {
    EXPECT_EQ(RunJob("/dev/zelvar-no-such-port", m_dir.File("x.bin").c_str(), 0), -2);
    EXPECT_EQ(LogLines(m_window.LogText()).back(), "Upload failed");
}

}  // namespace
}  // namespace zelvar::test
