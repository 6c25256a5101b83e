// The check after a flash, a step of the upload job: Connect GPS once more, compare what
// the receiver reports with what the image programs, and weigh what the line's refusals
// say about errors no check could see. Said through the message log.
#pragma once

namespace zelvar {

// A receiver still restarting after the upload gets this many connects, this long apart.
constexpr int kVerifyConnectAttempts = 3;
constexpr int kVerifyRetryPauseMs = 2000;

// Above this chance of an unseen error in the flash (per job) a programmed flash whose
// words all matched is not vouched for.
constexpr double kVouchedRiskBound = 1e-6;

enum class VerifyMode {
    Off,    // no check after the upload
    Words,  // the section words and the FW check word
    Full,   // and every word the image programs, read back
};

enum class VerifyVerdict {
    Verified,    // the words matched and the content is vouched for
    NotVouched,  // the words matched, but the line may have spoilt data no check could see
    Failed,      // no answer, or a word other than the image's
};

// Runs the verify phase for the image at imagePath on port (mode Words or Full). Ends
// with "Verified", "Not vouched for" or "Verification failed"; the first cause of the
// last two is noted as the job's failure. A cancelled job (g_jobCancel) stops waiting
// for the receiver.
VerifyVerdict VerifyFlash(const char* port, const char* imagePath, VerifyMode mode);

}  // namespace zelvar
