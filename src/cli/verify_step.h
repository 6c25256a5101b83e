// The check after a flash: Connect GPS once more and compare what the receiver reports
// with what the image programs, said through the message log.
#pragma once

#include <atomic>

#include "cli/cli_session.h"
#include "cli/commands.h"

namespace zelvar::cli {

// A receiver still restarting after the upload gets this many connects, this long apart.
constexpr int kVerifyConnectAttempts = 3;
constexpr int kVerifyRetryPauseMs = 2000;
// The pause is cut short this often to look at stop.
constexpr int kVerifyStopPollMs = 50;

// Runs the verify phase for the image of options on its port; true when the receiver
// answered and every compared word matches. Ends with "Verified" or "Verification
// failed". stop, once set, ends the waiting for the receiver.
bool VerifyStep(CCliSession& session, const FlashOptions& options, const std::atomic<bool>& stop);

}  // namespace zelvar::cli
