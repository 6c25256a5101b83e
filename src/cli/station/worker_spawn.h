// Starts the worker process that flashes one unit: this program again, as
// `zelvar flash --port P --json --log LOG ... IMAGE`, standard input on /dev/null and its
// output on pipes the station reads.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "cli/commands.h"

namespace zelvar::cli {

// The worker's command line after the program name.
std::vector<std::string> WorkerArguments(const FlashOptions& options, const std::string& port,
                                         const std::string& logPath);

struct SpawnedWorker {
    pid_t pid = -1;
    int out = -1;  // the read ends, non-blocking and close-on-exec
    int err = -1;
};

// The running program's own path (/proc/self/exe).
std::string OwnProgramPath();

// Starts program with arguments. The child gets the default dispositions and an empty
// signal mask (this process blocks its stop signals), and a process group of its own:
// a Ctrl-C on the terminal reaches the station alone, which passes it on once.
// False, with error set, when it could not be started.
bool SpawnWorker(const std::string& program, const std::vector<std::string>& arguments,
                 SpawnedWorker& worker, std::string& error);

}  // namespace zelvar::cli
