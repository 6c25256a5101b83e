#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/connect_step.h"
#include "cli/exit_codes.h"

namespace zelvar::cli {

int RunConnectCommand(const DeviceOptions& options) {
    CCliSession session(
        {options.json, AnswerPolicy::AlwaysNo, true, options.logPath, options.port});
    const int code = ConnectStep(session, options.port.c_str());
    switch (code) {
        case kExitSuccess:
            return session.Finish(code, "GPS connected");
        case kExitPortNotOpened:
            return session.Finish(code, "Cannot open GPS port.");
        default:
            return session.Finish(code, "Cannot connect to GPS.");
    }
}

}  // namespace zelvar::cli
