// Whole uploads from the job driver against the simulated receiver.
#include <atomic>
#include <cstdio>

#include "base/shared_state.h"
#include "event_recorder.h"
#include "link/receiver_queries.h"
#include "sim_upload_fixture.h"
#include "upload/prepare_upload.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kFwBytes = 0xA000;
constexpr std::size_t kFwOffset = 0x4000;
constexpr std::size_t kHeaderEnd = 0x24;

std::string Hex(const char* format, uint32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The lines every successful upload of a composite image shows, in order.
std::vector<std::string> CompositeUploadLines(const std::vector<uint8_t>& image,
                                              const std::string& path, const char* sfldLine) {
    const uint32_t pfldEnd = WordAt(image, kHeaderEnd);
    const uint32_t fwEnd = WordAt(image, kFwOffset + kHeaderEnd);
    return {"Opening SFLD ...",
            sfldLine,
            "Complete",
            "Opening '" + path + "' ...",
            "Image type: Binary",
            Hex("PFLD section found at: 0x10000000, 0x%08x", pfldEnd),
            Hex("PFLD CRC: 0x%08x PASSED.", WordAt(image, pfldEnd - kFlashBase)),
            Hex("FW   section found at: 0x10004000, 0x%08x", fwEnd),
            Hex("FW CRC: 0x%08x PASSED.", WordAt(image, fwEnd - kFlashBase)),
            "PFL is up to date",
            "Complete",
            "Image Start address: 0x00201000",
            "Image Entry point: 0x00201000",
            "Image Size: 5472 bytes",
            "Waiting for target answer at 19200...",
            "Uploading SFLD...",
            "Address:0x00000000.",
            "Complete.",
            "Wait for SFLD",
            "SFLD 2.01",
            "TypeID:5 (01 22 49 00)",
            "FLASHProgram Begin",
            "Erasing FLASH...",
            "FLASH erasing complete.",
            "Complete.",
            "FLASH Programming...",
            "FLASH Programing Complete.",
            "FLASH upload complete.",
            "Upload complete"};
}

// The programming's last lines, then the verification's: the receiver connected again
// and showed the image's words.
void ExpectEndsWithSuccess(const std::vector<std::string>& lines) {
    EXPECT_TRUE(InOrder(lines, {"FLASH Programing Complete.", "FLASH upload complete.",
                                " GPS flash information", "GPS connected at 4800"}));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Verified");
    EXPECT_EQ(lines[lines.size() - 2], "Receiver state: verified");
    EXPECT_EQ(lines.back(), "Upload complete");
}

class UploadEndToEndTest : public SimUploadTest {};

TEST_F(UploadEndToEndTest, CompositeImageWithSfldSectionProgramsTheReceiver) {
    const auto old = Composite(1, 2, kFwBytes, false);
    const auto image = Composite(1, 3, kFwBytes + 0x2000, true);
    StartSim(old);
    ASSERT_TRUE(Connect());
    const std::string path = WriteImage("new.bin", image);
    CRecordingScope recording;
    EXPECT_EQ(Upload(path), 0);
    const auto progress = recording.Recorder().Events(EventKind::Progress);

    const uint32_t fwEnd = WordAt(image, kFwOffset + kHeaderEnd);
    EXPECT_EQ(FlashRange(kFlashBase, fwEnd + 4),
              std::vector<uint8_t>(image.begin(), image.begin() + (fwEnd + 4 - kFlashBase)));
    const auto lines = Lines();
    EXPECT_TRUE(InOrder(lines, CompositeUploadLines(image, path, "SFLD section found")));
    ExpectEndsWithSuccess(lines);
    EXPECT_FALSE(g_uploadBusy);
    ASSERT_EQ(progress.size(), (fwEnd - kFlashBase + 2047) / 2048);
    uint32_t previous = 0;
    for (const RecordedEvent& step : progress) {
        EXPECT_EQ(step.phase, JobPhase::Program);
        EXPECT_EQ(step.total, fwEnd - kFlashBase);
        EXPECT_GT(step.done, previous);
        previous = step.done;
    }
    EXPECT_EQ(progress.back().done, fwEnd - kFlashBase);
    std::vector<JobPhase> phases;
    for (const RecordedEvent& event : recording.Recorder().Events(EventKind::Phase)) {
        phases.push_back(event.phase);
    }
    EXPECT_EQ(phases, (std::vector<JobPhase>{JobPhase::Prepare, JobPhase::Wake, JobPhase::Sfld,
                                             JobPhase::Erase, JobPhase::Program, JobPhase::Verify,
                                             JobPhase::Connect, JobPhase::Verify, JobPhase::Done}));
    const auto ends = recording.Recorder().Events(EventKind::JobEnd);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(ends[0].success);

    ASSERT_TRUE(Connect());  // a new connect shows the new checksums, as the verification did
    const auto after = Lines();
    EXPECT_EQ(g_receiverInfo.main.crc, WordAt(image, fwEnd - kFlashBase));
    EXPECT_EQ(CountLines(after, Hex("Main FW crc:0x%x", WordAt(image, fwEnd - kFlashBase))), 2);
    EXPECT_EQ(CountLines(after, Hex("Main FW len:0x%x", fwEnd - 0x10004000)), 2);
}

TEST_F(UploadEndToEndTest, CompositeImageWithoutSfldUsesSfldHexBesideTheProgram) {
    SfldBesideProgram sfld(SfldText());
    const auto image = Composite(1, 4, kFwBytes, false);
    StartSim(Composite(1, 2, kFwBytes, false));
    ASSERT_TRUE(Connect());
    const std::string path = WriteImage("new.bin", image);
    EXPECT_EQ(Upload(path), 0);
    const uint32_t fwEnd = WordAt(image, kFwOffset + kHeaderEnd);
    EXPECT_EQ(FlashRange(kFlashBase, fwEnd + 4),
              std::vector<uint8_t>(image.begin(), image.begin() + (fwEnd + 4 - kFlashBase)));
    const auto lines = Lines();
    EXPECT_TRUE(InOrder(lines, CompositeUploadLines(image, path, "SFLD section skipped")));
    ExpectEndsWithSuccess(lines);
}

TEST_F(UploadEndToEndTest, PfldUpdateAcceptedRewritesTheLoaderThroughBootMode) {
    const auto image = Composite(7, 3, kFwBytes, true);
    StartSim(Composite(1, 2, kFwBytes, false));
    ASSERT_TRUE(Connect());
    AnswerPfldQuestion(true);
    EXPECT_EQ(Upload(WriteImage("new.bin", image)), 0);
    const auto questions = m_window.Window().Questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "PFLD update requiered.\r\nContinue ?");
    EXPECT_EQ(questions[0].caption, " Warning: Unsafe mode");
    EXPECT_EQ(questions[0].buttons, AskButtons::YesNo);
    const uint32_t fwEnd = WordAt(image, kFwOffset + kHeaderEnd);
    EXPECT_EQ(FlashRange(kFlashBase, fwEnd),
              std::vector<uint8_t>(image.begin(), image.begin() + (fwEnd - kFlashBase)));
    const auto lines = Lines();
    EXPECT_TRUE(InOrder(lines, {"PFLD mode ... On", "Complete", "Entering boot mode...", "Complete",
                                "FLASHProgram Begin", "Upload complete"}));
    EXPECT_EQ(m_sim->CountEvents("boot mode"), 1u);
}

TEST_F(UploadEndToEndTest, PfldUpdateRefusedSendsNothing) {
    StartSim(Composite(1, 2, kFwBytes, false));
    ASSERT_TRUE(Connect());
    const std::size_t before = ReceivedBytes();
    AnswerPfldQuestion(false);
    EXPECT_EQ(Upload(WriteImage("new.bin", Composite(7, 3, kFwBytes, true))), -3);
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 4], "Canceled by user");
    EXPECT_EQ(lines[lines.size() - 3], "Reason: Canceled by user");
    EXPECT_EQ(lines[lines.size() - 2], "Receiver state: flash unchanged");
    EXPECT_EQ(lines.back(), "Upload failed");
    EXPECT_FALSE(g_pfldMode);
    EXPECT_EQ(ReceivedBytes(), before);
}

// An S-record image of the flash bytes [0x10000000, 0x10000000 + length) in records of
// 28 bytes: the last record starts 4 bytes before a sector boundary and ends past it.
std::string SRecordImage(const std::vector<uint8_t>& flat, std::size_t length) {
    return MakeSRecordText(kFlashBase, std::vector<uint8_t>(flat.begin(), flat.begin() + length),
                           kFlashBase, 28);
}

TEST_F(UploadEndToEndTest, SRecordImageProgramsEveryByteItHolds) {
    // FW end + 4 = 0x10012018: the highest record starts at 0x10011FFC, so an erase
    // range ending there would leave the sector at 0x10012000 unerased.
    constexpr std::size_t kLength = 0x12018;
    const auto flat = Composite(1, 5, kLength - kFwOffset - 4, false);
    ASSERT_EQ(flat.size(), kLength);
    SfldBesideProgram sfld(SfldText());
    StartSim(Composite(1, 2, 0x20000, false));  // old flash: data over the whole range
    ASSERT_TRUE(Connect());
    const std::string text = SRecordImage(flat, kLength);
    const std::string path = m_dir.File("new.s19");
    WriteFile(path, text);
    EXPECT_EQ(Upload(path), 0);
    EXPECT_EQ(FlashRange(kFlashBase, kFlashBase + kLength), flat);
    const auto lines = Lines();
    EXPECT_TRUE(InOrder(lines, {"Image type: Motorola S-Record", "Image Start address: 0x10000000",
                                "Image Entry point: 0x10000000", "Image Size: 73724 bytes",
                                "PFL is up to date", "Complete"}));
    EXPECT_TRUE(m_window.Window().Questions().empty());  // its PFLD matches the receiver's
    EXPECT_EQ(m_sim->CountEvents("erased 0x10000000..0x10012018"), 1u);
    ExpectEndsWithSuccess(lines);
}

TEST_F(UploadEndToEndTest, SRecordImageWithoutAWholePfldSectionAsksFirst) {
    constexpr std::size_t kLength = 0x9000;
    auto flat = Composite(1, 5, kLength - kFwOffset - 4, false);
    flat[0x100] ^= 0xFF;  // the PFLD no longer matches its checksum word
    SfldBesideProgram sfld(SfldText());
    StartSim(Composite(1, 2, kFwBytes, false));
    ASSERT_TRUE(Connect());
    const std::string path = m_dir.File("new.s19");
    WriteFile(path, SRecordImage(flat, kLength));
    AnswerPfldQuestion(false);
    EXPECT_EQ(Upload(path), -3);
    EXPECT_EQ(m_window.Window().Questions().size(), 1u);
    EXPECT_EQ(Lines().back(), "Upload failed");
}

}  // namespace
}  // namespace zelvar::test
