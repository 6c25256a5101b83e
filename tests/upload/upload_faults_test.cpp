// Uploads against a receiver that misbehaves, goes away, or a job that is cancelled.
#include <cstdio>
#include <thread>

#include "app/jobs.h"
#include "base/shared_state.h"
#include "link/port.h"
#include "sim_upload_fixture.h"
#include "upload/frame_policy.h"
#include "upload/line_risk.h"
#include "upload/upload_timing.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kFwBytes = 0xC000;  // room for a run of halved frames
constexpr std::size_t kFwOffset = 0x4000;
constexpr std::size_t kHeaderEnd = 0x24;
constexpr int kFirstFwFrame = 6;  // 3 SFLD data frames, the end frame, the range frame

constexpr int kFullPayload = kFrameMaxData + 4;

class UploadFaultsTest : public SimUploadTest {
  protected:
    // Uploads a new FW over the old one with the faults; returns the job's result.
    int UploadWith(sim::SimFaults faults) {
        m_image = Composite(1, 3, kFwBytes, true);
        StartSim(Composite(1, 2, kFwBytes, false), faults);
        EXPECT_TRUE(Connect());
        return Upload(WriteImage("new.bin", m_image));
    }
    void ExpectProgrammed() {
        const uint32_t fwEnd = WordAt(m_image, kFwOffset + kHeaderEnd);
        EXPECT_EQ(FlashRange(kFlashBase, fwEnd),
                  std::vector<uint8_t>(m_image.begin(), m_image.begin() + (fwEnd - kFlashBase)));
        EXPECT_EQ(Lines().back(), "Upload complete");
    }
    // A frame the programming had to write again is evidence of a line that spoils data:
    // the flash is right, but with the job's small number of frames nothing vouches for it.
    void ExpectProgrammedNotVouched(int result) {
        EXPECT_EQ(result, kJobNotVouched);
        const uint32_t fwEnd = WordAt(m_image, kFwOffset + kHeaderEnd);
        EXPECT_EQ(FlashRange(kFlashBase, fwEnd),
                  std::vector<uint8_t>(m_image.begin(), m_image.begin() + (fwEnd - kFlashBase)));
        const auto lines = Lines();
        EXPECT_TRUE(InOrder(lines, {"FLASH upload complete.", "Not vouched for",
                                    "Receiver state: not vouched for", "Upload failed"}));
        EXPECT_EQ(lines.back(), "Upload failed");
    }
    // The log shows the mend in order, and neither the SFLD nor the flash needed a new pass.
    void ExpectMendedInOnePass(const std::vector<std::string>& order) {
        const auto lines = Lines();
        EXPECT_TRUE(InOrder(lines, order));
        EXPECT_EQ(CountLines(lines, "Uploading SFLD..."), 1);
        EXPECT_EQ(CountLines(lines, "FLASH upload failed."), 0);
        EXPECT_EQ(m_sim->Programmings(), 1);
    }
    std::vector<uint8_t> m_image;
};

TEST_F(UploadFaultsTest, BadChecksumOnAnSfldFrameWritesThatFrameAgain) {
    sim::SimFaults faults;
    faults.badCsumFrame = 2;
    EXPECT_EQ(UploadWith(faults), 0);
    ExpectProgrammed();
    const auto lines = Lines();
    EXPECT_TRUE(
        InOrder(lines, {"Uploading SFLD...", "ERROR: BAD_CSUM", "Repeat Sending Record.",
                        "Writing the record again (1 of 10).", "Complete.", "Wait for SFLD"}));
    EXPECT_EQ(CountLines(lines, "Uploading SFLD..."), 1);
}

TEST_F(UploadFaultsTest, BadChecksumOnAFirmwareFrameWritesThatFrameAgainInTheSamePass) {
    sim::SimFaults faults;
    faults.badCsumFrame = kFirstFwFrame + 1;
    ExpectProgrammedNotVouched(UploadWith(faults));
    const auto lines = Lines();
    EXPECT_TRUE(InOrder(lines, {"FLASH Programming...", "ERROR: BAD_CSUM", "Repeat Sending Record.",
                                "Writing the record again (1 of 10).", "FLASH Programing Complete.",
                                "FLASH upload complete."}));
    EXPECT_EQ(CountLines(lines, "FLASHProgram Begin"), 1);
    EXPECT_EQ(CountLines(lines, "FLASH upload failed."), 0);
    EXPECT_EQ(m_sim->Programmings(), 1);
}

// The frame written again after a refusal arrives with two flips its check word cannot
// see, nor the FW section's sum: the words and the sum all match, yet the flash is wrong.
// The refusal is what tells: never "Verified".
TEST_F(UploadFaultsTest, UnseenErrorAfterARefusalIsNotVouchedFor) {
    sim::SimFaults faults;
    // The first frames carry the PFLD's room, which the SFLD takes and leaves alone.
    constexpr int kPfldFrames = kFwOffset / kFrameMaxData;
    faults.badCsumFrame = kFirstFwFrame + kPfldFrames;
    faults.spoilFrame = kFirstFwFrame + kPfldFrames + 1;
    EXPECT_EQ(UploadWith(faults), kJobNotVouched);
    const uint32_t fwEnd = WordAt(m_image, kFwOffset + kHeaderEnd);
    const std::vector<uint8_t> flash = FlashRange(kFlashBase, fwEnd);
    int differing = 0;
    for (std::size_t i = 0; i < flash.size(); ++i) differing += flash[i] != m_image[i];
    EXPECT_EQ(differing, 2);
    const auto lines = Lines();
    bool summed = false;
    for (const std::string& l : lines) summed |= l.find("matches the image's content") != l.npos;
    EXPECT_TRUE(summed);
    EXPECT_EQ(CountLines(lines, "Verified"), 0);
    EXPECT_TRUE(InOrder(lines, {"ERROR: BAD_CSUM", "FLASH Programing Complete.", "Not vouched for",
                                "Receiver state: not vouched for", "Upload failed"}));
}

// Payload bytes of every frame the SFLD answered after the range frame, the end frame
// left out, as the receiver's trace shows them.
std::vector<int> ProgrammingPayloads(const sim::CSimReceiver& receiver) {
    std::vector<int> sizes;
    for (const sim::TraceEntry& e : receiver.Trace()) {
        int number = 0, size = 0;
        if (e.kind != sim::TraceKind::Event ||
            std::sscanf(e.text.c_str(), "frame %d: %d payload bytes", &number, &size) != 2 ||
            number < kFirstFwFrame || size == 0) {
            continue;
        }
        sizes.push_back(size);
    }
    return sizes;
}

TEST_F(UploadFaultsTest, ACleanJobKeepsFullFramesAndSaysNoFrameWasRefused) {
    EXPECT_EQ(UploadWith({}), 0);
    ExpectProgrammed();
    const std::vector<int> sizes = ProgrammingPayloads(*m_sim);
    ASSERT_GT(sizes.size(), 2u);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], kFullPayload) << i;
    EXPECT_EQ(g_programmingRisk.FramesRefused(), 0u);
    EXPECT_EQ(g_programmingRisk.UndetectedChance(), 0);
    char line[96];
    std::snprintf(line, sizeof line, "The line refused 0 of %zu frames (mean %.0f data bytes).",
                  sizes.size() + 1, g_programmingRisk.MeanFrameBytes());
    EXPECT_TRUE(InOrder(Lines(), {"FLASH Programming...", line, "FLASH Programing Complete."}));
}

TEST_F(UploadFaultsTest, FramesShrinkAfterARefusalAndGrowBackAfterCleanOnes) {
    sim::SimFaults faults;
    faults.badCsumFrame = kFirstFwFrame + 1;
    ExpectProgrammedNotVouched(UploadWith(faults));
    const std::vector<int> sizes = ProgrammingPayloads(*m_sim);
    // The refused frame is written again whole; the data after it go in halves, and
    // after kCleanFramesToGrow clean ones in whole frames again.
    ASSERT_GT(sizes.size(), 3u + kCleanFramesToGrow);
    EXPECT_EQ(sizes[1], kFullPayload);  // refused
    EXPECT_EQ(sizes[2], kFullPayload);  // written again
    for (int i = 0; i < kCleanFramesToGrow; ++i) {
        EXPECT_EQ(sizes[3 + i], kFrameMaxData / 2 + 4) << i;
    }
    EXPECT_EQ(sizes[3 + kCleanFramesToGrow], kFullPayload);
    EXPECT_EQ(g_programmingRisk.FramesRefused(), 1u);
    EXPECT_GT(g_programmingRisk.UndetectedChance(), 0);
    EXPECT_TRUE(InOrder(Lines(), {"ERROR: BAD_CSUM", "FLASH Programing Complete."}));
    bool said = false;
    for (const std::string& l : Lines()) {
        said |= l.rfind("The line refused 1 of ", 0) == 0 &&
                l.find("an error the frame check cannot see is possible (about 1 in ") !=
                    std::string::npos;
    }
    EXPECT_TRUE(said);
}

TEST_F(UploadFaultsTest, RecWaitStormMakesTheFrameGoAgain) {
    sim::SimFaults faults;
    faults.stormFrame = kFirstFwFrame + 2;
    faults.stormCount = 201;
    EXPECT_EQ(UploadWith(faults), 0);
    ExpectProgrammed();
    const auto lines = Lines();
    EXPECT_EQ(CountLines(lines, "REC_WAIT break"), 1);
    EXPECT_EQ(CountLines(lines, "FLASH upload failed."), 0);
}

TEST_F(UploadFaultsTest, LostAnswerIsAskedForAgainWithinThePass) {
    sim::SimFaults faults;
    faults.silenceAfterFrame = kFirstFwFrame + 1;  // frame taken, its answer lost
    faults.silenceMs = 2500;
    EXPECT_EQ(UploadWith(faults), 0);
    ExpectProgrammed();
    const auto lines = Lines();
    EXPECT_TRUE(InOrder(lines, {"FLASH Programming...", "No answer, asking the loader again.",
                                "Writing the record again.", "FLASH upload complete."}));
    EXPECT_EQ(CountLines(lines, "FLASH upload failed."), 0);
}

// A bit error turns the ACK of a frame the receiver took into another byte: the loader
// hears silence, asks again, and the frame written once more is taken in the same pass.
TEST_F(UploadFaultsTest, CorruptedAckOfAnSfldFrameIsAskedForAgain) {
    sim::SimFaults faults;
    faults.corruptAckFrame = 2;
    EXPECT_EQ(UploadWith(faults), 0);
    ExpectProgrammed();
    ExpectMendedInOnePass({"Uploading SFLD...", "No answer, asking the loader again.",
                           "Writing the record again.", "Wait for SFLD"});
}

TEST_F(UploadFaultsTest, CorruptedAckOfAFirmwareFrameIsAskedForAgain) {
    sim::SimFaults faults;
    faults.corruptAckFrame = kFirstFwFrame + 1;
    EXPECT_EQ(UploadWith(faults), 0);
    ExpectProgrammed();
    ExpectMendedInOnePass({"FLASH Programming...", "No answer, asking the loader again.",
                           "Writing the record again.", "FLASH upload complete."});
}

// The handshake that arms a frame is not heard: the frame goes unanswered, the recovery
// prompts the waiting loader, and the same frame is written again in the same pass.
TEST_F(UploadFaultsTest, MissedHandshakeOfAnSfldFrameIsRecoveredWithinSeconds) {
    sim::SimFaults faults;
    faults.missHandshakeFrame = 2;
    const long long start = NowMs();
    EXPECT_EQ(UploadWith(faults), 0);
    EXPECT_LT(NowMs() - start, 30000);
    ExpectProgrammed();
    ExpectMendedInOnePass({"Uploading SFLD...", "Repeat Sending Record.", "Wait for SFLD"});
}

TEST_F(UploadFaultsTest, MissedHandshakeOfAFirmwareFrameIsRecoveredWithinSeconds) {
    sim::SimFaults faults;
    faults.missHandshakeFrame = kFirstFwFrame + 1;
    const long long start = NowMs();
    EXPECT_EQ(UploadWith(faults), 0);
    EXPECT_LT(NowMs() - start, 30000);
    ExpectProgrammed();
    ExpectMendedInOnePass(
        {"FLASH Programming...", "Repeat Sending Record.", "FLASH upload complete."});
}

// A byte lost inside a firmware frame: the receiver refuses the short frame, and the
// frame written again is taken.
TEST_F(UploadFaultsTest, ByteLostInsideAFrameIsMendedByWritingTheFrameAgain) {
    sim::SimFaults faults;
    faults.dropByteIn = 20000;  // well inside the firmware frames
    ExpectProgrammedNotVouched(UploadWith(faults));
    ExpectMendedInOnePass({"FLASH Programming...", "Repeat Sending Record.",
                           "Writing the record again (1 of 10).", "FLASH upload complete."});
}

TEST_F(UploadFaultsTest, WholePassLimitEndsTheJobAndSaysWhy) {
    sim::SimFaults faults;
    faults.answerOnlyAtSpeed = 19200;  // the SFLD never answers at 115200
    StartSim(Composite(1, 2, kFwBytes, false), faults, true);
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Upload(WriteImage("new.bin", Composite(1, 3, kFwBytes, true))), -1);
    const auto lines = Lines();
    EXPECT_EQ(CountLines(lines, "No version text from the SFLD."), kFailedPassesAllowed);
    EXPECT_TRUE(InOrder(lines, {"Upload stopped after 5 failed passes (PFLD dialogue 0, SFLD "
                                "upload 0, SFLD start 0, flash programming 5).",
                                "Upload failed"}));
    EXPECT_EQ(lines.back(), "Upload failed");
}

TEST_F(UploadFaultsTest, EraseFailureLeadsToANewPassThatSucceeds) {
    sim::SimFaults faults;
    faults.eraseFailAfter = 2;
    EXPECT_EQ(UploadWith(faults), 0);
    ExpectProgrammed();
    EXPECT_TRUE(
        InOrder(Lines(), {"Erasing FLASH...", "1 sectors erased.", "2 sectors erased.",
                          "Flash erase failure.", "FLASH upload failed.", "Erasing FLASH...",
                          "FLASH erasing complete.", "FLASH upload complete.", "Upload complete"}));
}

TEST_F(UploadFaultsTest, UnknownEraseByteFailsThePass) {
    sim::SimFaults faults;
    faults.eraseUnknownAfter = 0;
    EXPECT_EQ(UploadWith(faults), 0);
    EXPECT_TRUE(InOrder(Lines(), {"Unknown command 0x42.", "FLASH erase failure.",
                                  "FLASH upload failed.", "FLASH upload complete."}));
}

TEST_F(UploadFaultsTest, ReceiverVanishingMidUploadEndsTheJobWithinSeconds) {
    sim::SimFaults faults;
    faults.vanishAfterBytes = 16000;  // during the firmware frames
    m_image = Composite(1, 3, kFwBytes, true);
    StartSim(Composite(1, 2, kFwBytes, false), faults);
    ASSERT_TRUE(Connect());
    const std::string path = WriteImage("new.bin", m_image);
    long long vanishedAt = 0;
    std::thread watch([&] {
        if (m_sim->WaitForEvent("vanished", 30000)) vanishedAt = NowMs();
    });
    EXPECT_EQ(Upload(path), -1);
    const long long endedAt = NowMs();
    watch.join();
    ASSERT_NE(vanishedAt, 0);
    EXPECT_LT(endedAt - vanishedAt, 5000);
    EXPECT_EQ(Lines().back(), "Upload failed");
    EXPECT_FALSE(g_uploadBusy);
}

TEST_F(UploadFaultsTest, CancelEndsARunningUploadAndFreesThePort) {
    sim::SimFaults faults;
    faults.silenceAfterFrame = kFirstFwFrame + 1;  // the receiver stops answering for good
    m_image = Composite(1, 3, kFwBytes, true);
    StartSim(Composite(1, 2, kFwBytes, false), faults);
    ASSERT_TRUE(Connect());
    const std::string path = WriteImage("new.bin", m_image);
    long long cancelledAt = 0;
    std::thread cancel([&] {
        ASSERT_TRUE(WaitUntil([] { return g_uploadBusy.load(); }, 30000));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        cancelledAt = NowMs();
        g_jobCancel = true;
    });
    EXPECT_EQ(Upload(path), -1);
    const long long endedAt = NowMs();
    cancel.join();
    EXPECT_LT(endedAt - cancelledAt, 3000);
    EXPECT_EQ(Lines().back(), "Upload failed");
    g_jobCancel = false;
    PortHandle again = OpenPort(m_sim->SlavePath().c_str(), 19200);  // closed by the job
    EXPECT_NE(again, kInvalidPort);
    ClosePort(again);
}

}  // namespace
}  // namespace zelvar::test
