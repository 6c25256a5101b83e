#include "app/terminal_handover.h"

#include "app/terminal.h"
#include "base/message_log.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"

namespace zelvar {

namespace {

struct ThreadClaim {
    int session = 0;
    ~ThreadClaim() {
        if (session != 0) ReleaseTerminalSession(session);
    }
};

thread_local ThreadClaim t_claim;

}  // namespace

bool WaitForTerminalIdle(const char* portName) {
    if (t_claim.session != 0) return true;
    t_claim.session = ClaimTerminalSession(portName, kTerminalHandOverMs);
    if (t_claim.session != 0) return true;
    if (!g_jobCancel.load()) ShowStatus("Serial port still in use by the terminal.");
    return false;
}

int TakeThreadTerminalClaim() {
    int session = t_claim.session;
    t_claim.session = 0;
    return session;
}

}  // namespace zelvar
