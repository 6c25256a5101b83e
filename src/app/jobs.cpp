#include "app/jobs.h"

#include <thread>

#include "app/terminal.h"
#include "app/terminal_handover.h"
#include "base/message_log.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"
#include "link/port.h"
#include "upload/prepare_upload.h"
#include "upload/sfld_upload.h"
#include "upload/upload_timing.h"

namespace zelvar {

int RunJob(const char* portName, const char* imagePath, int terminal) {
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
        SetJobControls(true, false);
        return kJobPortNotOpened;
    }
    if (terminal != 0) {
        RunTerminal(handle);  // closes its own copy of the handle
        return kJobSuccess;
    }
    if (!PrepareUpload(imagePath)) {
        ClosePort(handle);
        SetJobControls(true, false);
        return kJobPreparationStopped;
    }
    const int result = RunUpload(handle) == 0 ? kJobSuccess : kJobUploadFailed;
    ClosePort(handle);
    SetJobControls(true, result == kJobSuccess);
    return result;
}

int JobThreadProc(JobRequest* request) {
    return RunJob(request->portName.c_str(), request->imagePath.c_str(), request->terminal);
}

void StartJob(const JobRequest& request) {
    g_jobCancel = false;
    std::thread([job = request]() mutable { JobThreadProc(&job); }).detach();
}

}  // namespace zelvar
