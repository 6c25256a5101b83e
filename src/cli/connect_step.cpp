#include "cli/connect_step.h"

#include <string>

#include "base/shared_state.h"
#include "cli/exit_codes.h"
#include "link/connect_gps.h"
#include "link/port.h"
#include "link/receiver_queries.h"

namespace zelvar::cli {

int ConnectStep(CCliSession& session, const char* port) {
    g_portName.Set(port);
    ConnectGps();
    const char* reason = LastPortOpenError();
    if (reason && reason[0] != '\0') {
        session.Output().Note(std::string(port) + ": " + reason);
        return kExitPortNotOpened;
    }
    return g_receiverInfo.connected && g_receiverInfo.speed != 0 ? kExitSuccess : kExitNoReceiver;
}

}  // namespace zelvar::cli
