// End-to-end upload tests: the simulated receiver on a pty, a headless main window with
// its log file, and images built for the test (support/image_recipes.h).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/sim_receiver.h"
#include "support/dialog_job_controls.h"
#include "support/image_recipes.h"
#include "support/test_env.h"
#include "upload_test_support.h"

namespace zelvar::test {

class SimUploadTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the receiver in normal operation (or in its resident loader) with flash
    // holding image.
    void StartSim(const std::vector<uint8_t>& flash, sim::SimFaults faults = {},
                  bool inPfld = false);
    // Connect GPS through the dialog's handler; true when it enabled "Load".
    bool Connect();
    int Upload(const std::string& imagePath);
    std::string WriteImage(const std::string& name, const std::vector<uint8_t>& bytes);
    // Bytes the receiver has received so far.
    std::size_t ReceivedBytes();
    std::vector<std::string> Lines() { return LogLines(m_window.LogText()); }
    // The receiver's flash bytes over [first, end).
    std::vector<uint8_t> FlashRange(uint32_t first, uint32_t end);
    void AnswerPfldQuestion(bool yes);

    ProgramFilesLock m_filesLock;
    WindowFixture m_window;
    DialogJobControls m_controls;
    TempDir m_dir;
    PrivateRuntimeDir m_runtime{m_dir.Path()};
    std::unique_ptr<sim::CSimReceiver> m_sim;
};

}  // namespace zelvar::test
