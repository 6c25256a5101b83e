#include <windows.h>

#include "cli/station/worker_status.h"

namespace zelvar::cli {

WorkerEnd DescribeWorkerEnd(int status) {
    // A crash ends a process with its exception code (0xC0000005 and the like).
    const DWORD code = static_cast<DWORD>(status);
    return {status, "worker ended with exit status " + std::to_string(code)};
}

}  // namespace zelvar::cli
