// The two sinks every event goes to before the registered ones: the log file and the
// main window's controls.
#pragma once

#include "base/loader_events.h"

namespace zelvar {

// Messages into the message list (the last 30 kept, the newest selected), status texts
// into the status line, programming progress as the status line's fill.
void ShowEventInMainWindow(const LoaderEvent& event);

// Messages and status texts, one line each. A failed write is kept for
// ReportPendingLogFailure.
void WriteEventToLogFile(const LoaderEvent& event);
// Says a failed write met by this thread's last WriteEventToLogFile, if there was one
// (as a message of its own, published like any other).
void ReportPendingLogFailure();

}  // namespace zelvar
