#include <cstdio>

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace zelvar::cli {

int RunStationCommand(const FlashOptions&) {
    std::fputs("zelvar: several ports, --log-dir, --report and --watch are not built yet\n",
               stderr);
    return kExitUsage;
}

}  // namespace zelvar::cli
