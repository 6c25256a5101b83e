#include "upload/flash_verify.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/job_failure.h"
#include "base/loader_events.h"
#include "base/message_log.h"
#include "base/shared_state.h"
#include "link/flash_information.h"
#include "link/receiver_queries.h"
#include "upload/flash_compare.h"
#include "upload/flash_expectation.h"
#include "upload/upload_control.h"

namespace zelvar {

namespace {

// A line that fails the check: shown, and kept as the job's cause when it is the first.
void SayFailure(const char* line) {
    NoteJobFailure(line);
    LogLine(line);
}

bool Reconnect(const char* port, ReceiverInfo& info) {
    for (int attempt = 1; attempt <= kVerifyConnectAttempts; ++attempt) {
        if (attempt > 1 && !UploadPause(kVerifyRetryPauseMs)) return false;
        // After the upload the receiver runs its firmware again: its words are read the
        // way its firmware answers, unless the probe finds its loader once more.
        g_pflDetected = false;
        if (ConnectAndListFlash(port, "after", info) == ConnectOutcome::Connected) return true;
        if (g_jobCancel.load()) return false;
    }
    char line[96];
    std::snprintf(line, sizeof line, "Verify: no answer from the receiver after %d attempts",
                  kVerifyConnectAttempts);
    SayFailure(line);
    return false;
}

bool Compare(const char* imagePath, const ReceiverInfo& info) {
    FlashExpectation expectation;
    if (!ReadFlashExpectation(imagePath, expectation)) {
        SayFailure("Verify: the image could not be read again");
        return false;
    }
    const std::vector<std::string> differences = FlashDifferences(info, expectation);
    for (const std::string& line : differences) SayFailure(line.c_str());
    const std::string checkWord = FwCheckWordLine(info);
    if (!checkWord.empty()) LogLine(checkWord.c_str());
    return differences.empty();
}

}  // namespace

bool VerifyFlash(const char* port, const char* imagePath) {
    EnterPhase(JobPhase::Verify);
    ReceiverInfo after{};
    bool verified = Reconnect(port, after);
    if (verified) {
        EnterPhase(JobPhase::Verify);  // the connect went through its own phase
        verified = Compare(imagePath, after);
    }
    LogLine(verified ? "Verified" : "Verification failed");
    EnterPhase(JobPhase::Done);
    return verified;
}

}  // namespace zelvar
