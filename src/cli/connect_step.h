// Connect GPS as the dialog's button does it, for the connect and flash commands.
#pragma once

#include "cli/cli_session.h"

namespace zelvar::cli {

// Runs the connect procedure on port and returns kExitSuccess when a receiver answered,
// kExitPortNotOpened (with the system's reason on standard error) or kExitNoReceiver.
// What a receiver reported goes out as JSON kind "receiver" (when "before").
int ConnectStep(CCliSession& session, const char* port);

}  // namespace zelvar::cli
