// The production station runs each unit in a worker process of its own, with
// posix_spawn, poll and pipes (station/); the Windows build does not have it yet.
#include <cstdio>

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace zelvar::cli {

int RunStationCommand(const FlashOptions&) {
    std::fputs(
        "zelvar: Several ports, --ports-from, --log-dir, --report and --watch need the Linux "
        "build for now; flash one port at a time.\n",
        stderr);
    return kExitUsage;
}

}  // namespace zelvar::cli
