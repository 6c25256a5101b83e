#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/connect_step.h"
#include "cli/exit_codes.h"
#include "link/flash_information.h"

namespace zelvar::cli {

int RunConnectCommand(const DeviceOptions& options) {
    CCliSession session(
        {options.json, AnswerPolicy::AlwaysNo, true, options.logPath, options.port});
    const int code = ConnectStep(session, options.port.c_str());
    switch (code) {
        case kExitSuccess:
            return session.Finish(code, "GPS connected");
        case kExitPortNotOpened:
            return session.Finish(code, kCannotOpenGpsPort);
        default:
            return session.Finish(code, kCannotConnectToGps);
    }
}

}  // namespace zelvar::cli
