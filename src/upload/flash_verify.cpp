#include "upload/flash_verify.h"

#include <cstdio>
#include <memory>
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
#include "upload/full_readback.h"
#include "upload/line_risk.h"
#include "upload/upload_control.h"

namespace zelvar {

namespace {

constexpr std::size_t kReasonBytes = 256;

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

// What the comparisons found: a difference, or how much they vouch for the content.
struct Findings {
    bool differs = false;
    bool fwSummed = false;  // the FW check word matched the image's content
    bool readInFull = false;
};

Findings CompareWords(const ReceiverInfo& info, const FlashExpectation& expectation) {
    Findings found;
    const std::vector<std::string> differences = FlashDifferences(info, expectation);
    for (const std::string& line : differences) SayFailure(line.c_str());
    found.differs = !differences.empty();
    std::string line;
    const FwCheck check = CompareFwCheckWord(info, expectation, line);
    if (check == FwCheck::Differs) {
        SayFailure(line.c_str());
        found.differs = true;
    } else if (!line.empty()) {
        LogLine(line.c_str());
    }
    found.fwSummed = check == FwCheck::ContentSum;
    return found;
}

// The chance of an error no check saw, from the programming's refusals.
double UnseenChance(const Findings& found, const FlashExpectation& expectation) {
    if (found.readInFull) return 0;
    uint32_t checkWord = 0;
    if (found.fwSummed && FwCheckWordAddress(expectation, checkWord)) {
        return g_programmingRisk.UndetectedChanceAfterFwCheck(checkWord);
    }
    return g_programmingRisk.UndetectedChance();
}

VerifyVerdict Check(const char* port, const char* imagePath, VerifyMode mode,
                    const ReceiverInfo& info) {
    auto image = std::make_unique<ImageFlash>();
    if (!ReadImageFlash(imagePath, *image)) {
        SayFailure("Verify: the image could not be read again");
        return VerifyVerdict::Failed;
    }
    const FlashExpectation expectation = ExpectationOf(*image);
    Findings found = CompareWords(info, expectation);
    if (found.differs) return VerifyVerdict::Failed;
    if (mode == VerifyMode::Full) {
        if (!ReadBackInFull(port, static_cast<int>(info.speed), *image, expectation)) {
            return VerifyVerdict::Failed;
        }
        found.readInFull = true;
    }
    const double chance = UnseenChance(found, expectation);
    if (chance <= kVouchedRiskBound) return VerifyVerdict::Verified;
    char reason[kReasonBytes];
    FormatNotVouched(g_programmingRisk, chance, reason, sizeof reason);
    NoteJobFailure(reason);
    return VerifyVerdict::NotVouched;
}

const char* VerdictLine(VerifyVerdict verdict) {
    switch (verdict) {
        case VerifyVerdict::Verified:
            return "Verified";
        case VerifyVerdict::NotVouched:
            return "Not vouched for";
        default:
            return "Verification failed";
    }
}

}  // namespace

VerifyVerdict VerifyFlash(const char* port, const char* imagePath, VerifyMode mode) {
    EnterPhase(JobPhase::Verify);
    ReceiverInfo after{};
    VerifyVerdict verdict = VerifyVerdict::Failed;
    if (Reconnect(port, after)) {
        EnterPhase(JobPhase::Verify);  // the connect went through its own phase
        verdict = Check(port, imagePath, mode, after);
    }
    LogLine(VerdictLine(verdict));
    EnterPhase(JobPhase::Done);
    return verdict;
}

}  // namespace zelvar
