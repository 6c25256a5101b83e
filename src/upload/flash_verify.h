// The check after a flash, a step of the upload job: Connect GPS once more and compare
// what the receiver reports with what the image programs, said through the message log.
#pragma once

namespace zelvar {

// A receiver still restarting after the upload gets this many connects, this long apart.
constexpr int kVerifyConnectAttempts = 3;
constexpr int kVerifyRetryPauseMs = 2000;

// Runs the verify phase for the image at imagePath on port; true when the receiver
// answered and every compared word matches. Ends with "Verified" or "Verification
// failed" (its first cause noted as the job's failure). A cancelled job (g_jobCancel)
// stops waiting for the receiver.
bool VerifyFlash(const char* port, const char* imagePath);

}  // namespace zelvar
