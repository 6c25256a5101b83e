#include <cstdio>

#include "cli/commands.h"
#include "cli/station/worker_spawn.h"

namespace zelvar::cli {

std::vector<std::string> WorkerArguments(const FlashOptions& options, const std::string& port,
                                         const std::string& logPath) {
    std::vector<std::string> args{"flash", "--port", port, "--json"};
    if (!logPath.empty()) args.insert(args.end(), {"--log", logPath});
    if (options.policy == AnswerPolicy::AlwaysYes) args.push_back("--yes");
    if (options.policy == AnswerPolicy::AlwaysNo) args.push_back("--no");
    if (options.timeoutSeconds > 0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", options.timeoutSeconds);
        args.insert(args.end(), {"--timeout", seconds});
    }
    if (options.verify == VerifyMode::Off) args.push_back("--no-verify");
    if (options.verify == VerifyMode::Full) args.push_back("--verify=full");
    args.push_back(options.image);
    return args;
}

}  // namespace zelvar::cli
