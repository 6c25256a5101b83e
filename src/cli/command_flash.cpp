#include <atomic>
#include <cstdio>
#include <string>

#include "app/jobs.h"
#include "base/shared_state.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/connect_step.h"
#include "cli/exit_codes.h"
#include "cli/job_deadline.h"
#include "cli/signal_watch.h"
#include "cli/verify_step.h"
#include "link/port.h"

namespace zelvar::cli {

namespace {

std::atomic<bool> g_interrupted{false};

const char* ResultText(int code) {
    switch (code) {
        case kExitSuccess:
            return "Upload complete";
        case kExitPortNotOpened:
            return "Cannot open GPS port.";
        case kExitPreparationStopped:
            return "Preparation stopped";
        case kExitNoReceiver:
            return "Cannot connect to GPS.";
        case kExitInterrupted:
            return "Interrupted";
        case kExitVerifyFailed:
            return "Verification failed";
        default:
            return "Upload failed";
    }
}

int Flash(CCliSession& session, const FlashOptions& options, CJobDeadline& deadline) {
    const int connected = ConnectStep(session, options.device.port.c_str());
    if (connected != kExitSuccess) return connected;
    if (g_interrupted.load()) return kExitInterrupted;
    if (deadline.Expired()) return kExitUploadFailed;
    const int result = RunJob(options.device.port.c_str(), options.image.c_str(), 0);
    deadline.Stop();
    if (result == kJobSuccess) {
        if (!options.verify) return kExitSuccess;
        const bool verified = VerifyStep(session, options, g_interrupted);
        if (g_interrupted.load()) return kExitInterrupted;
        return verified ? kExitSuccess : kExitVerifyFailed;
    }
    if (result == kJobPortNotOpened) {
        session.Output().Note(options.device.port + ": " + LastPortOpenError());
    }
    if (g_interrupted.load()) return kExitInterrupted;
    if (deadline.Expired()) return kExitUploadFailed;
    return ExitCodeForJobResult(result);
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
    const int code = Flash(session, options, deadline);
    if (deadline.Expired() && code != kExitSuccess) {
        char note[96];
        std::snprintf(note, sizeof note, "time limit of %g s passed; the job was stopped",
                      options.timeoutSeconds);
        session.Output().Note(note);
    }
    return session.Finish(code, ResultText(code));
}

}  // namespace zelvar::cli
