#include <sys/wait.h>

#include "cli/exit_codes.h"
#include "cli/station/worker_status.h"

namespace zelvar::cli {

WorkerEnd DescribeWorkerEnd(int status) {
    if (WIFSIGNALED(status)) {
        return {128 + WTERMSIG(status),
                "worker ended by signal " + std::to_string(WTERMSIG(status))};
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : kExitUploadFailed;
    return {code, "worker ended with exit status " + std::to_string(code)};
}

}  // namespace zelvar::cli
