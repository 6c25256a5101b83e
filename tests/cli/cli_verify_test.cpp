// The check after a flash: zelvar connects again and compares the receiver's words with
// the image's; a receiver that restarts with a word spoiled fails it, naming the word.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string_view>

#include "base/flash_map.h"
#include "cli/cli_session.h"
#include "cli/json_names.h"
#include "image_recipes.h"
#include "json_line.h"
#include "sim_start.h"
#include "support/event_recorder.h"
#include "upload/flash_verify.h"
#include "zelvar_runner.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kPfldBytes = 0x3000;
constexpr std::size_t kFactoryFwBytes = 0x6000;
constexpr std::size_t kNewFwBytes = 0x8000;
constexpr uint32_t kPfldEnd = kFlashBase + kPfldBytes;  // the PFLD check word's address
constexpr uint32_t kFwEnd = kFwBase + kNewFwBytes;
constexpr uint32_t kFwEndWord = kFwBase + kSectionEndWord;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

class CliVerify : public ::testing::Test {
  protected:
    // A receiver with the factory image; the new image keeps its PFLD.
    void Start(sim::SimFaults faults = {}) {
        const std::string factory =
            WriteImage(dir, "factory.bin", MakeParts(1, kPfldBytes, kFactoryFwBytes));
        CompositeImageParts parts = MakeParts(1, kPfldBytes, kNewFwBytes);
        parts.fw = MakeParts(3, kPfldBytes, kNewFwBytes).fw;
        image = WriteImage(dir, "new.bin", parts);
        sim::SimOptions options;
        options.linkPath = dir.File("gps");
        options.faults = faults;
        receiver = StartSim(options, factory);
        ASSERT_NE(receiver, nullptr);
    }
    ZelvarRun Flash(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{"flash", "--port", receiver->LinkPath(), "--log", LogPath()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(image);
        return RunZelvar(args);
    }
    // Flashes a receiver that spoils the word at address with mask after programming.
    ZelvarRun FlashSpoiling(uint32_t address, uint32_t mask,
                            const std::vector<std::string>& extra) {
        sim::SimFaults faults;
        faults.corruptWordAddress = address;
        faults.corruptWordMask = mask;
        Start(faults);
        return receiver ? Flash(extra) : ZelvarRun{};
    }
    std::string LogPath() const { return dir.File("log.txt"); }
    uint32_t ImageWord(uint32_t address) const {
        const std::vector<uint8_t> bytes = ReadBytes(image);
        const std::size_t at = address - kFlashBase;
        return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
               (static_cast<uint32_t>(bytes[at + 3]) << 24);
    }

    TempDir dir;
    std::string image;
    std::unique_ptr<sim::CSimReceiver> receiver;
};

TEST_F(CliVerify, GoodFlashIsVerifiedAndItsFwCheckWordMatchesTheContent) {
    Start();
    const ZelvarRun run = Flash();
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_FALSE(Contains(run.out, "Verify:")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Verified\nReceiver state: verified\nUpload complete\n"))
        << run.out;
    // The word the receiver holds, whoever wrote it.
    EXPECT_TRUE(Contains(run.out, "FW check word " + Hex(receiver->FlashWord(kFwEnd)) +
                                      " matches the image's content\n"))
        << run.out;
    // The check is the job's last step: its verdict and the receiver's state come before
    // the job's own.
    const std::string log = ReadFile(LogPath());
    EXPECT_TRUE(EndsWith(log, "Verified\r\nReceiver state: verified\r\nUpload complete\r\n"))
        << log;

    // The JSON verdict says the same: its text and the receiver's state.
    Start();
    const ZelvarRun json = Flash({"--json"});
    ASSERT_EQ(json.exitCode, 0) << json.out << json.err;
    ASSERT_FALSE(json.OutLines().empty());
    std::map<std::string, std::string> fields;
    ASSERT_TRUE(ParseJsonLine(json.OutLines().back(), fields)) << json.out;
    const auto field = [&](std::string_view name) { return fields[std::string(name)]; };
    EXPECT_EQ(field(cli::json::kKind), cli::json::kResult) << json.out;
    EXPECT_EQ(field(cli::json::kText), "Verified") << json.out;
    EXPECT_EQ(field(cli::json::kState), "verified") << json.out;
}

TEST_F(CliVerify, SpoiledPfldCheckWordFailsWithBothValues) {
    const ZelvarRun run = FlashSpoiling(kPfldEnd, 0x80000001, {});
    const uint32_t expected = ImageWord(kPfldEnd);
    EXPECT_EQ(run.exitCode, 5) << run.out << run.err;
    const std::string why = "Verify: PFLD check word " + Hex(expected ^ 0x80000001) +
                            " in the receiver, " + Hex(expected) + " in the image";
    EXPECT_TRUE(Contains(run.out, why + "\n")) << run.out;
    EXPECT_FALSE(Contains(run.out, "Verify: FW")) << run.out;
    // After the verdict, why the job failed and what it left, then the job's own end: on
    // screen and in the log alike.
    EXPECT_TRUE(EndsWith(run.out, "Verification failed\nReason: " + why +
                                      "\nReceiver state: not vouched for\nUpload failed\n"))
        << run.out;
    const std::string log = ReadFile(LogPath());
    EXPECT_TRUE(EndsWith(log, "Verification failed\r\nReason: " + why +
                                  "\r\nReceiver state: not vouched for\r\nUpload failed\r\n"))
        << log;
}

TEST_F(CliVerify, SpoiledFwEndWordFailsAndTheJsonVerdictSaysSo) {
    const ZelvarRun run = FlashSpoiling(kFwEndWord, 1, {"--json"});
    EXPECT_EQ(run.exitCode, 5) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "Verify: FW end word " + Hex(kFwEnd ^ 1) + " in the receiver, " +
                                      Hex(kFwEnd) + " in the image"))
        << run.out;
    EXPECT_FALSE(Contains(run.out, "Verify: PFLD")) << run.out;
    ASSERT_FALSE(run.OutLines().empty());
    const std::string verdict = run.OutLines().back();
    EXPECT_TRUE(Contains(verdict, "\"code\":5")) << verdict;
    EXPECT_TRUE(Contains(verdict, "Verification failed")) << verdict;
    EXPECT_TRUE(Contains(verdict, "\"state\":\"not-vouched\"")) << verdict;
    EXPECT_TRUE(Contains(verdict, "\"reason\":\"Verify: FW end word ")) << verdict;
}

// The receiver's loader sums the FW section as it programmed it; a stored sum other than
// the image's is a wrong flash.
TEST_F(CliVerify, WrongStoredFwCheckWordFailsVerification) {
    const ZelvarRun run = FlashSpoiling(kFwEnd, 0x00010000, {});
    EXPECT_EQ(run.exitCode, 5) << run.out << run.err;
    const uint32_t stored = receiver->FlashWord(kFwEnd);
    EXPECT_TRUE(Contains(run.out, "Verify: FW check word " + Hex(stored) + " in the receiver, " +
                                      Hex(stored ^ 0x00010000) + " in the image\n"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "Verification failed\n")) << run.out;
}

// A word spoilt after the receiver summed its section: only reading every word back
// finds it, and names it.
TEST_F(CliVerify, FullReadBackFindsOneSpoiltWordAndNamesItsAddress) {
    constexpr uint32_t kSpoilt = kFwBase + 0x5004;
    const ZelvarRun words = FlashSpoiling(kSpoilt, 0x100, {});
    EXPECT_EQ(words.exitCode, 0) << words.out << words.err;
    const ZelvarRun full = FlashSpoiling(kSpoilt, 0x100, {"--verify=full"});
    EXPECT_EQ(full.exitCode, 5) << full.out << full.err;
    const uint32_t expected = ImageWord(kSpoilt);
    // The composite image is a flat copy of the flash up to its FW end, then the FW sum.
    const std::size_t programmed = (kFwEnd - kFlashBase) / 4 + 1;
    char said[160];
    std::snprintf(said, sizeof said, "Full read-back: %zu words at ", programmed);
    EXPECT_TRUE(Contains(full.out, said)) << full.out;
    std::snprintf(said, sizeof said,
                  "Verify: word at 0x%08X is 0x%08X in the receiver, 0x%08X in the image\n"
                  "Verify: 1 of %zu words differ\nVerification failed\n",
                  kSpoilt, expected ^ 0x100, expected, programmed);
    EXPECT_TRUE(Contains(full.out, said)) << full.out;

    Start();
    const ZelvarRun good = Flash({"--verify=full"});
    EXPECT_EQ(good.exitCode, 0) << good.out << good.err;
    std::snprintf(said, sizeof said, "Full read-back: all %zu words match the image\nVerified\n",
                  programmed);
    EXPECT_TRUE(Contains(good.out, said)) << good.out;
}

// A frame the receiver refused is evidence of a line that spoils data: the flash shows
// the image's words, yet the result says it is not vouched for, with its own code.
TEST_F(CliVerify, RefusedFrameEndsNotVouchedForWithItsOwnCodeAndLastLine) {
    sim::SimFaults faults;
    faults.dropByteIn = 30000;  // inside a frame of the flash programming
    Start(faults);
    const ZelvarRun run = Flash({"--json"});
    EXPECT_EQ(run.exitCode, 6) << run.out << run.err;
    ASSERT_FALSE(run.OutLines().empty());
    const std::string verdict = run.OutLines().back();
    EXPECT_TRUE(Contains(verdict, "\"code\":6")) << verdict;
    EXPECT_TRUE(Contains(verdict, "\"text\":\"Not vouched for: the line refused 1 of ")) << verdict;
    EXPECT_TRUE(Contains(verdict,
                         "check the cable and flash again, or read the flash back in "
                         "full"))
        << verdict;
    EXPECT_TRUE(Contains(verdict, "\"state\":\"not-vouched\"")) << verdict;
    // The same figures as fields: the refusal, and the data sent in shorter frames after it.
    std::map<std::string, std::string> fields;
    ASSERT_TRUE(ParseJsonLine(verdict, fields)) << verdict;
    EXPECT_EQ(fields[std::string(cli::json::kFramesRefused)], "1") << verdict;
    const std::string sent = fields[std::string(cli::json::kFramesSent)];
    EXPECT_TRUE(Contains(verdict, "refused 1 of " + sent + " frames")) << verdict;
    const std::string mean = fields[std::string(cli::json::kMeanFrameBytes)];
    EXPECT_GT(std::stoi(mean), 0) << verdict;
    EXPECT_LT(std::stoi(mean), 2048) << verdict;
    EXPECT_GT(std::stod(fields[std::string(cli::json::kUndetectedChance)]), 0) << verdict;
    Start(faults);
    const ZelvarRun plain = Flash();
    EXPECT_EQ(plain.exitCode, 6) << plain.out << plain.err;
    EXPECT_TRUE(Contains(plain.out, "Not vouched for\nReason: the line refused 1 of "))
        << plain.out;
}

// A receiver that goes away while it is programmed: the job says why and what it left,
// as lines and in the JSON verdict.
TEST_F(CliVerify, VanishedReceiverEndsWithTheReasonAndTheReceiverState) {
    sim::SimFaults faults;
    faults.vanishAfterBytes = 30000;  // past the SFLD, while the flash is programmed
    Start(faults);
    for (const bool json : {false, true}) {
        const ZelvarRun run = json ? Flash({"--json"}) : Flash();
        EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
        const std::vector<std::string> lines = run.OutLines();
        ASSERT_GE(lines.size(), 4u) << run.out;
        const std::size_t n = lines.size() - (json ? 1 : 0);  // the verdict is JSON's last
        EXPECT_TRUE(Contains(lines[n - 3], "Reason: Serial device lost: ")) << run.out;
        EXPECT_TRUE(Contains(lines[n - 2],
                             "Receiver state: firmware incomplete, resident loader "
                             "intact: Connect GPS, then Load again"))
            << run.out;
        EXPECT_TRUE(Contains(lines[n - 1], "Upload failed")) << run.out;
        if (json) {
            EXPECT_TRUE(Contains(lines.back(), "\"text\":\"Upload failed: Serial device lost: "));
            EXPECT_TRUE(Contains(lines.back(), "\"state\":\"incomplete\"")) << lines.back();
        }
        Start(faults);  // the receiver is gone: a new one for the next run
    }
}

// Without the check the spoiled word goes unnoticed: the upload itself went well.
TEST_F(CliVerify, NoVerifySkipsTheCheck) {
    const ZelvarRun run = FlashSpoiling(kFwEndWord, 1, {"--no-verify"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_FALSE(Contains(run.out, "Verif")) << run.out;
    EXPECT_FALSE(Contains(run.out, "FW check word")) << run.out;
    EXPECT_EQ(receiver->FlashWord(kFwEndWord), kFwEnd ^ 1);
}

// A receiver that never comes back: every connect is tried, then the check fails.
TEST(CliVerifyStep, ReceiverThatDoesNotAnswerFailsAfterEveryAttempt) {
    TempDir dir;
    const std::string port = dir.File("gone");
    const std::string image = WriteImage(dir, "image.bin", MakeParts(1, kPfldBytes, kNewFwBytes));
    CRecordingScope recording;
    VerifyVerdict verdict = VerifyVerdict::Verified;
    {
        cli::CCliSession session({false, cli::AnswerPolicy::AlwaysNo, false, "", ""});
        verdict = VerifyFlash(port.c_str(), image.c_str(), VerifyMode::Words);
    }
    EXPECT_EQ(verdict, VerifyVerdict::Failed);
    int opens = 0;
    std::vector<std::string> messages;
    for (const RecordedEvent& event : recording.Recorder().Events()) {
        if (event.kind == EventKind::Status && event.text == "Cannot open GPS port.") ++opens;
        if (event.kind == EventKind::Message) messages.push_back(event.text);
    }
    EXPECT_EQ(opens, kVerifyConnectAttempts);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], "Verify: no answer from the receiver after " +
                                                 std::to_string(kVerifyConnectAttempts) +
                                                 " attempts");
    EXPECT_EQ(messages.back(), "Verification failed");
    const std::vector<RecordedEvent> phases = recording.Recorder().Events(EventKind::Phase);
    ASSERT_FALSE(phases.empty());
    EXPECT_EQ(phases.front().phase, JobPhase::Verify);
    EXPECT_EQ(phases.back().phase, JobPhase::Done);
}

}  // namespace
}  // namespace zelvar::test
