#include "app/jobs.h"

#include <mutex>
#include <thread>

#include "app/terminal.h"
#include "app/terminal_handover.h"
#include "base/job_failure.h"
#include "base/message_log.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"
#include "link/flash_information.h"
#include "link/port.h"
#include "upload/flash_verify.h"
#include "upload/line_risk.h"
#include "upload/prepare_upload.h"
#include "upload/sfld_upload.h"
#include "upload/upload_timing.h"

namespace zelvar {

namespace {

constexpr const char* kJobStopped = "Job stopped";

struct LastOutcome {
    std::mutex mutex;
    JobOutcome outcome;
};

LastOutcome& Last() {
    static LastOutcome last;
    return last;
}

void BeginJob() {
    ResetJobFailure();
    ResetFlashProgress();
    g_programmingRisk.Reset();  // a job that never programs has no figures of its own
}

// The job's last lines: why it failed, what an upload left of the receiver, then the
// verdict of SetJobControls.
int EndJob(int result, ReceiverState state, bool upload = true) {
    JobOutcome outcome{result, state, ""};
    if (result != kJobSuccess) {
        if (g_jobCancel.load()) NoteJobFailure(kJobStopped);
        outcome.reason = JobFailureReason();
        const std::string line = "Reason: " + outcome.reason;
        if (!outcome.reason.empty()) LogLine(line.c_str());
    }
    if (upload) LogLine(ReceiverStateLine(state));
    {
        std::lock_guard lock(Last().mutex);
        Last().outcome = outcome;
    }
    SetJobControls(true, result == kJobSuccess);
    return result;
}

int EndNotOpened(bool upload) {
    const std::string reason = std::string(kCannotOpenGpsPort) + " (" + LastPortOpenError() + ")";
    NoteJobFailure(reason);
    return EndJob(kJobPortNotOpened, ReceiverState::Unchanged, upload);
}

int JobResultOf(VerifyVerdict verdict) {
    switch (verdict) {
        case VerifyVerdict::Verified:
            return kJobSuccess;
        case VerifyVerdict::NotVouched:
            return kJobNotVouched;
        default:
            return kJobVerifyFailed;
    }
}

int Upload(PortHandle& handle, const char* portName, const char* imagePath, VerifyMode verify) {
    if (!PrepareUpload(imagePath)) {
        ClosePort(handle);
        return EndJob(kJobPreparationStopped, ReceiverState::Unchanged);
    }
    const bool programmed = RunUpload(handle) == 0;
    ClosePort(handle);
    if (!programmed) return EndJob(kJobUploadFailed, StateAfterFailure());
    if (verify == VerifyMode::Off) return EndJob(kJobSuccess, StateAfterUpload(false, false));
    const VerifyVerdict verdict = VerifyFlash(portName, imagePath, verify);
    return EndJob(JobResultOf(verdict), StateAfterUpload(true, verdict == VerifyVerdict::Verified));
}

}  // namespace

JobOutcome LastJobOutcome() {
    std::lock_guard lock(Last().mutex);
    return Last().outcome;
}

int RunJob(const char* portName, const char* imagePath, int terminal, VerifyMode verify) {
    BeginJob();
    // A terminal job opens the port only once the previous terminal loop has let it go
    // (a job started by StartTerminalJob holds its claim already).
    if (terminal != 0 && !WaitForTerminalIdle(portName)) {
        SetJobControls(true, false);
        return kJobPortNotOpened;
    }
    PortHandle handle = OpenPort(portName, kJobOpenSpeed);
    if (handle == kInvalidPort) {
        // The claim goes back at once: the calling thread may live on (the command line).
        if (terminal != 0) {
            if (int session = TakeThreadTerminalClaim()) ReleaseTerminalSession(session);
        }
        return EndNotOpened(terminal == 0);
    }
    if (terminal != 0) {
        RunTerminal(handle);  // closes its own copy of the handle
        return kJobSuccess;
    }
    return Upload(handle, portName, imagePath, verify);
}

int JobThreadProc(JobRequest* request) {
    return RunJob(request->portName.c_str(), request->imagePath.c_str(), request->terminal,
                  request->verify);
}

void StartJob(const JobRequest& request) {
    g_jobCancel = false;
    std::thread([job = request]() mutable { JobThreadProc(&job); }).detach();
}

}  // namespace zelvar
