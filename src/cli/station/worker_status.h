// How a worker ended, read from the status its pool reported (worker_pool.h): on Linux a
// wait status, 128 + the signal for a killed worker (worker_status_posix.cpp); on
// Windows the process's exit code (worker_status_win32.cpp).
#pragma once

#include <string>

namespace zelvar::cli {

struct WorkerEnd {
    int code = 0;      // the exit code it counts with
    std::string text;  // "worker ended ..."
};

WorkerEnd DescribeWorkerEnd(int status);

}  // namespace zelvar::cli
