#include <atomic>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "app/jobs.h"
#include "base/shared_state.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/connect_step.h"
#include "cli/exit_codes.h"
#include "cli/job_deadline.h"
#include "cli/signal_watch.h"
#include "link/flash_information.h"
#include "link/port.h"
#include "upload/line_risk.h"

namespace zelvar::cli {

namespace {

std::atomic<bool> g_interrupted{false};

// What the command's verdict says beyond its exit code.
struct FlashVerdict {
    int code = kExitSuccess;
    bool jobRan = false;  // the upload job ran: its outcome holds the receiver's state
};

std::string ResultText(const FlashVerdict& verdict, const FlashOptions& options,
                       const JobOutcome& job) {
    switch (verdict.code) {
        case kExitSuccess:
            return options.verify != VerifyMode::Off ? "Verified" : "Upload complete";
        case kExitPortNotOpened:
            return kCannotOpenGpsPort;
        case kExitPreparationStopped:
            return "Preparation stopped";
        case kExitNoReceiver:
            return kCannotConnectToGps;
        case kExitInterrupted:
            return "Interrupted";
        case kExitVerifyFailed:
            return "Verification failed";
        case kExitNotVouched:
            return "Not vouched for: " + job.reason;
        default:
            return job.reason.empty() ? "Upload failed" : "Upload failed: " + job.reason;
    }
}

FlashVerdict Flash(CCliSession& session, const FlashOptions& options, CJobDeadline& deadline) {
    const int connected = ConnectStep(session, options.device.port.c_str());
    if (connected != kExitSuccess) return {connected};
    if (g_interrupted.load()) return {kExitInterrupted};
    if (deadline.Expired()) return {kExitUploadFailed};
    const int result =
        RunJob(options.device.port.c_str(), options.image.c_str(), 0, options.verify);
    deadline.Stop();
    if (result == kJobPortNotOpened) {
        session.Output().Note(options.device.port + ": " + LastPortOpenError());
    }
    if (result != kJobSuccess && g_interrupted.load()) return {kExitInterrupted, true};
    if (result != kJobSuccess && deadline.Expired()) return {kExitUploadFailed, true};
    return {ExitCodeForJobResult(result), true};
}

// What the job's flash programming told about the line; none when it sent no frame.
std::optional<LineFigures> ProgrammingFigures(const FlashVerdict& verdict) {
    if (!verdict.jobRan || g_programmingRisk.FramesSent() == 0) return std::nullopt;
    return LineFigures{g_programmingRisk.FramesSent(), g_programmingRisk.FramesRefused(),
                       static_cast<uint32_t>(std::lround(g_programmingRisk.MeanFrameBytes())),
                       g_programmingRisk.UndetectedChance()};
}

}  // namespace

int RunFlashCommand(const FlashOptions& options) {
    g_jobCancel.store(false);
    CCliSession session(
        {options.device.json, options.policy, true, options.device.logPath, options.device.port});
    WatchStopSignals([] {
        g_interrupted.store(true);
        g_jobCancel.store(true);
    });
    CJobDeadline deadline(options.timeoutSeconds);
    const FlashVerdict verdict = Flash(session, options, deadline);
    if (deadline.Expired() && verdict.code != kExitSuccess) {
        char note[96];
        std::snprintf(note, sizeof note, "time limit of %g s passed; the job was stopped",
                      options.timeoutSeconds);
        session.Output().Note(note);
    }
    const JobOutcome job = verdict.jobRan ? LastJobOutcome() : JobOutcome{};
    const std::string text = ResultText(verdict, options, job);
    const bool failed = verdict.code != kExitSuccess;
    const std::string reason = !failed ? "" : job.reason.empty() ? text : job.reason;
    return session.FinishFlash(verdict.code, text, ReceiverStateName(job.state), reason,
                               ProgrammingFigures(verdict));
}

}  // namespace zelvar::cli
