// Connect GPS's own work, without the dialog's part (emptying the list, the Load
// button): open the port, find the receiver, list what its flash holds. The upload
// job's verification connects the same way.
#pragma once

#include <functional>

#include "link/receiver_queries.h"

namespace zelvar {

// The status text when the port cannot be opened for a connect.
constexpr const char* kCannotOpenGpsPort = "Cannot open GPS port.";
// The verdict of a connect that found no receiver.
constexpr const char* kCannotConnectToGps = "Cannot connect to GPS.";

enum class ConnectOutcome { NotOpened, NoReceiver, Connected };

// Opens port at kConnectOpenSpeed, runs ConnectReceiver into info, closes the
// port and lists the flash information and the verdict ("GPS connected at %d" or
// "Cannot connect to GPS."), then clears the status line; onVerdict(connected) runs just
// before the verdict line. A receiver that answered is published as a Receiver event
// with when ("before" or "after" the upload).
// Connect GPS reads into g_receiverInfo on the dialog's thread; the upload job's
// verification into a record of its own, since the dialog may read g_receiverInfo
// (the About box) while a job runs.
ConnectOutcome ConnectAndListFlash(const char* port, const char* when, ReceiverInfo& info,
                                   const std::function<void(bool connected)>& onVerdict = {});

// The record the Receiver event being published speaks of; g_receiverInfo outside such
// an event. Sinks are called on the publishing thread, so this is the one to read there.
const ReceiverInfo& PublishedReceiver();

}  // namespace zelvar
