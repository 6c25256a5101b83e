// Starting a job on its own thread.
#include "app/jobs.h"

#include <gtest/gtest.h>

#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "support/dialog_job_controls.h"
#include "support/test_env.h"
#include "upload_test_support.h"

namespace zelvar::test {
namespace {

TEST(JobsTest, StartedJobRunsDetachedOnItsOwnCopyAndClearsAStaleCancel) {
    WindowFixture window;
    const DialogJobControls controls;
    g_jobCancel = true;  // left over from an earlier job
    JobRequest request{"/dev/zelvar-no-such-port", "image.bin", 0};
    StartJob(request);
    request.portName.clear();  // the dialog may refill its request at once
    EXPECT_FALSE(g_jobCancel);
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto items = window.Window().ListItems(IDC_MESSAGE_LIST);
            return !items.empty() && items.back() == "Upload failed";
        },
        5000));
    EXPECT_TRUE(window.Window().IsEnabled(IDC_CONNECT));
    EXPECT_FALSE(window.Window().IsEnabled(IDC_LOAD));
}

}  // namespace
}  // namespace zelvar::test
