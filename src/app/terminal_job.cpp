#include <thread>

#include "app/terminal.h"
#include "base/shared_state.h"

namespace zelvar {

void StartTerminalJob(const JobRequest& request) {
    g_jobCancel = false;
    std::thread([job = request]() mutable {
        // RunJob opens the port; by then the previous loop has let it go. A job that
        // may not have the port ends here, as one whose port did not open.
        if (WaitForTerminalIdle(job.portName.c_str())) JobThreadProc(&job);
    }).detach();
}

}  // namespace zelvar
