#include <csignal>

#include "cli/process_start.h"

namespace zelvar::cli {

void PrepareProcess() {
    std::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return {argv, argv + argc};
}

}  // namespace zelvar::cli
