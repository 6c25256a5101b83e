#include "cli/verify_step.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "base/loader_events.h"
#include "base/message_log.h"
#include "cli/connect_step.h"
#include "cli/exit_codes.h"
#include "cli/verify_compare.h"
#include "link/receiver_queries.h"
#include "upload/flash_expectation.h"

namespace zelvar::cli {

namespace {

// Waits up to ms; false when stop was set meanwhile.
bool Pause(int ms, const std::atomic<bool>& stop) {
    for (int waited = 0; waited < ms; waited += kVerifyStopPollMs) {
        if (stop.load()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kVerifyStopPollMs));
    }
    return !stop.load();
}

bool Reconnect(CCliSession& session, const char* port, const std::atomic<bool>& stop) {
    for (int attempt = 1; attempt <= kVerifyConnectAttempts; ++attempt) {
        if (attempt > 1 && !Pause(kVerifyRetryPauseMs, stop)) return false;
        // After the upload the receiver runs its firmware again: its words are read the
        // way its firmware answers, unless the probe finds its loader once more.
        g_pflDetected = false;
        if (ConnectStep(session, port, "after") == kExitSuccess) return true;
        if (stop.load()) return false;
    }
    char line[96];
    std::snprintf(line, sizeof line, "Verify: no answer from the receiver after %d attempts",
                  kVerifyConnectAttempts);
    LogLine(line);
    return false;
}

bool Compare(const FlashOptions& options) {
    FlashExpectation expectation;
    if (!ReadFlashExpectation(options.image.c_str(), expectation)) {
        LogLine("Verify: the image could not be read again");
        return false;
    }
    const std::vector<std::string> differences = FlashDifferences(g_receiverInfo, expectation);
    for (const std::string& line : differences) LogLine(line.c_str());
    const std::string checkWord = FwCheckWordLine(g_receiverInfo);
    if (!checkWord.empty()) LogLine(checkWord.c_str());
    return differences.empty();
}

}  // namespace

bool VerifyStep(CCliSession& session, const FlashOptions& options, const std::atomic<bool>& stop) {
    EnterPhase(JobPhase::Verify);
    bool verified = Reconnect(session, options.device.port.c_str(), stop);
    if (verified) {
        EnterPhase(JobPhase::Verify);  // the connect went through its own phase
        verified = Compare(options);
    }
    LogLine(verified ? "Verified" : "Verification failed");
    EnterPhase(JobPhase::Done);
    return verified;
}

}  // namespace zelvar::cli
