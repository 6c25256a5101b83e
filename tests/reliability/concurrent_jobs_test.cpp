// The dialog's thread and the worker thread together, as the program runs them: while an
// upload job programs the simulated receiver, the dialog's side keeps reading what the
// job shares (busy flag, receiver information, message list, status line, controls) and
// opens the About box; a job cancelled mid-programming ends as a failure and the next
// job programs the receiver from the start. Meant for ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/jobs.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "gui/common/receiver_handlers.h"
#include "link/connect_gps.h"
#include "support/dialog_job_controls.h"
#include "support/image_recipes.h"
#include "support/sim_start.h"
#include "support/test_env.h"

namespace zelvar::test {
namespace {

constexpr int kJobLimitMs = 90000;

using Clock = std::chrono::steady_clock;

class ConcurrentJobs : public ::testing::Test {
  protected:
    void SetUp() override {
        g_jobCancel = false;
        g_uploadBusy = false;
        ASSERT_TRUE(WriteBytes(fixture.Dir().File("factory.bin"), MakeTestImage(1)));
        image = MakeTestImage(2);
        ASSERT_TRUE(WriteBytes(imagePath, image));
        receiver = StartSim({}, fixture.Dir().File("factory.bin"));
        ASSERT_NE(receiver, nullptr);
        g_portName.Set(receiver->SlavePath().c_str());
    }
    void TearDown() override { g_jobCancel = false; }

    std::string Tail() {
        std::string text = "messages:";
        for (const std::string& line : Messages()) text += "\n  " + line;
        return text + "\nstatus: " + fixture.Window().GetText(IDC_STATUS);
    }
    std::vector<std::string> Messages() { return fixture.Window().ListItems(IDC_MESSAGE_LIST); }
    bool LastMessageIs(const std::string& text) {
        const std::vector<std::string> lines = Messages();
        return !lines.empty() && lines.back() == text;
    }
    bool JobEnded() { return LastMessageIs("Upload complete") || LastMessageIs("Upload failed"); }
    bool Shows(const std::string& text) {
        for (const std::string& line : Messages()) {
            if (line == text) return true;
        }
        return false;
    }

    // The dialog's side while a job runs: everything it reads or opens, again and again,
    // until done() or the limit.
    template <typename Done>
    bool BusyDialogUntil(Done done) {
        const auto end = Clock::now() + std::chrono::milliseconds(kJobLimitMs);
        std::string title, text;
        while (Clock::now() < end) {
            if (done()) return true;
            MakeAboutTexts(title, text);
            ShowAboutBox(fixture.Window());
            (void)g_uploadBusy.load();
            (void)fixture.Window().GetText(IDC_STATUS);
            (void)fixture.Window().IsEnabled(IDC_CONNECT);
            (void)g_portName.Get();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }

    // As the dialog lets it: Load is enabled again only by a new Connect GPS. A receiver
    // left in its SFLD by a cancelled job answers no connect; the next job (the command
    // line's flash, or a dialog with the earlier connect's result) finds it all the same.
    void StartUpload(bool connect = true) {
        if (connect) {
            OnConnectGps(fixture.Window());
            ASSERT_TRUE(fixture.Window().IsEnabled(IDC_LOAD)) << "the connect found no receiver";
        }
        fixture.Window().ListReset(IDC_MESSAGE_LIST);
        JobRequest request;
        request.portName = receiver->SlavePath();
        request.imagePath = imagePath;
        StartJob(request);
    }

    WindowFixture fixture;
    DialogJobControls controls;
    std::string imagePath = fixture.Dir().File("new.bin");
    std::vector<uint8_t> image;
    std::unique_ptr<sim::CSimReceiver> receiver;
};

TEST_F(ConcurrentJobs, UploadWhileTheDialogReadsThenCancelThenUploadAgain) {
    StartUpload();
    ASSERT_TRUE(BusyDialogUntil([&] { return JobEnded(); })) << "the upload did not end";
    ASSERT_TRUE(LastMessageIs("Upload complete"));
    EXPECT_TRUE(FlashHolds(receiver->Flash(), image));
    EXPECT_FALSE(g_uploadBusy.load());

    // A job cancelled while it programs (the dialog closing) ends as a failure.
    const int passes = receiver->Programmings();
    StartUpload();
    ASSERT_TRUE(BusyDialogUntil([&] { return Shows("FLASH Programming...") || JobEnded(); }))
        << Tail();
    g_jobCancel = true;
    ASSERT_TRUE(BusyDialogUntil([&] { return JobEnded(); }));
    EXPECT_TRUE(LastMessageIs("Upload failed"));
    EXPECT_EQ(receiver->Programmings(), passes) << "a cancelled job completed its pass";

    // The next job starts afresh (StartJob clears the cancel) and programs the receiver.
    StartUpload(false);
    ASSERT_TRUE(BusyDialogUntil([&] { return JobEnded(); })) << Tail();
    EXPECT_TRUE(LastMessageIs("Upload complete")) << Tail();
    EXPECT_TRUE(FlashHolds(receiver->Flash(), image));
}

}  // namespace
}  // namespace zelvar::test
