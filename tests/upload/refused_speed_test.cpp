// A line speed the serial port refuses ends the upload job at once, whichever step asked
// for it, instead of the job talking at the wrong speed until a silence fails it.
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "app/jobs.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "sim_upload_fixture.h"
#include "support/refused_line_speed.h"
#include "upload/upload_timing.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kFwBytes = 0x6000;
// Longer than any upload of the test images; only a job that hangs reaches it.
constexpr int kJobHangGuardMs = 120000;

std::string RefusalText(int speed) {
    return "Line speed " + std::to_string(speed) + " refused by the serial port.";
}

class RefusedSpeedTest : public SimUploadTest {
  protected:
    // A receiver with an old flash, connected; the new image waits in m_path.
    void StartConnected(sim::SimFaults faults = {}) {
        StartSim(Composite(1, 2, kFwBytes, false), faults);
        ASSERT_TRUE(Connect());
        m_path = WriteImage("new.bin", Composite(1, 3, kFwBytes, true));
    }
    // Runs the job with speed refused from the start, or from the receiver's first event
    // that begins with event. Returns the job's result; m_afterRefusalMs is the time from
    // the refusal's status text to the job's end (-1: the text never came).
    int UploadRefusing(int speed, const char* event = nullptr) {
        std::unique_ptr<RefusedLineSpeed> refused;
        if (event == nullptr) refused = std::make_unique<RefusedLineSpeed>(speed);
        std::atomic<bool> ended{false};
        long long refusedAt = 0;
        std::thread watch([&] {
            const auto eventCame = [&] { return m_sim->CountEvents(event) > 0; };
            if (event != nullptr &&
                WaitUntil([&] { return ended || eventCame(); }, kJobHangGuardMs) && eventCame()) {
                refused = std::make_unique<RefusedLineSpeed>(speed);
            }
            const std::string text = RefusalText(speed);
            const auto shown = [&] { return m_window.Window().GetText(IDC_STATUS) == text; };
            if (WaitUntil([&] { return ended || shown(); }, kJobHangGuardMs) && shown()) {
                refusedAt = NowMs();
            }
        });
        const int result = Upload(m_path);
        const long long endedAt = NowMs();
        ended = true;
        watch.join();
        // Seen only after the end, the refusal came at most that late.
        m_afterRefusalMs = refusedAt == 0 ? -1 : std::max(0LL, endedAt - refusedAt);
        return result;
    }
    // The job ended right after the refusal, as a failure, without a second pass, naming
    // it as the reason and the receiver's state.
    void ExpectEndedByTheRefusal(int speed, const char* state = "Receiver state: flash unchanged") {
        const auto lines = Lines();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[lines.size() - 4], RefusalText(speed));
        EXPECT_EQ(lines[lines.size() - 3], "Reason: " + RefusalText(speed));
        EXPECT_EQ(lines[lines.size() - 2], state);
        EXPECT_EQ(lines.back(), "Upload failed");
        EXPECT_EQ(CountLines(lines, RefusalText(speed)), 1);
        EXPECT_LE(CountLines(lines, "Uploading SFLD..."), 1);
        EXPECT_EQ(CountLines(lines, "Waiting for target answer at 19200..."), 1);
        EXPECT_EQ(m_sim->Programmings(), 0);
        EXPECT_FALSE(g_uploadBusy);
        EXPECT_TRUE(m_window.Window().IsEnabled(IDC_CONNECT));
        ASSERT_GE(m_afterRefusalMs, 0) << "the refusal was never shown";
    }

    std::string m_path;
    long long m_afterRefusalMs = -1;
};

TEST_F(RefusedSpeedTest, RefusedLoaderSpeedEndsTheJobBeforeTheDialogue) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    EXPECT_EQ(UploadRefusing(kPfldSpeed), kJobUploadFailed);
    ExpectEndedByTheRefusal(kPfldSpeed);
    const auto lines = Lines();
    EXPECT_EQ(lines[lines.size() - 5], "Waiting for target answer at 19200...");
    // Without the refusal the loop would have waited out the receiver's silence.
    EXPECT_LT(m_afterRefusalMs, kDialogueSilenceMs);
}

TEST_F(RefusedSpeedTest, RefusedSfldSpeedEndsTheJobInsteadOfAskingForTheVersion) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    EXPECT_EQ(UploadRefusing(kSfldSpeed), kJobUploadFailed);
    ExpectEndedByTheRefusal(kSfldSpeed);
    const auto lines = Lines();
    EXPECT_TRUE(InOrder(lines, {"Uploading SFLD...", "Complete.", "Wait for SFLD",
                                RefusalText(kSfldSpeed), "Upload failed"}));
    EXPECT_EQ(CountLines(lines, "No version text from the SFLD."), 0);
    EXPECT_EQ(CountLines(lines, "FLASH upload failed."), 0);
    EXPECT_LT(m_afterRefusalMs, kVersionWaitMs);
}

TEST_F(RefusedSpeedTest, RefusedReturnToTheLoaderSpeedAfterAFailedPassEndsTheJob) {
    sim::SimFaults faults;
    faults.eraseFailAfter = 1;
    ASSERT_NO_FATAL_FAILURE(StartConnected(faults));
    // 19200 is refused only once the SFLD runs: the pass fails at its erase and wants
    // to go back to the loader's speed.
    EXPECT_EQ(UploadRefusing(kPfldSpeed, "SFLD started"), kJobUploadFailed);
    ExpectEndedByTheRefusal(kPfldSpeed,
                            "Receiver state: firmware incomplete, resident loader "
                            "intact: Connect GPS, then Load again");
    const auto lines = Lines();
    EXPECT_TRUE(InOrder(lines, {"Flash erase failure.", "FLASH upload failed.",
                                RefusalText(kPfldSpeed), "Upload failed"}));
    EXPECT_EQ(CountLines(lines, "Erasing FLASH..."), 1);
    EXPECT_EQ(CountLines(lines, "No answer from the SFLD."), 0);
    EXPECT_LT(m_afterRefusalMs, kDialogueSilenceMs);
}

}  // namespace
}  // namespace zelvar::test
