// Connect GPS's own work, without the dialog's part (emptying the list, the Load
// button): open the port, find the receiver, list what its flash holds. The upload
// job's verification connects the same way.
#pragma once

#include <functional>

namespace zelvar {

// The status text when the port cannot be opened for a connect.
constexpr const char* kCannotOpenGpsPort = "Cannot open GPS port.";
// The verdict of a connect that found no receiver.
constexpr const char* kCannotConnectToGps = "Cannot connect to GPS.";

enum class ConnectOutcome { NotOpened, NoReceiver, Connected };

// Opens port at kConnectOpenSpeed, runs ConnectReceiver into g_receiverInfo, closes the
// port and lists the flash information and the verdict ("GPS connected at %d" or
// "Cannot connect to GPS."), then clears the status line; onVerdict(connected) runs just
// before the verdict line. A receiver that answered is published as a Receiver event
// with when ("before" or "after" the upload).
ConnectOutcome ConnectAndListFlash(const char* port, const char* when,
                                   const std::function<void(bool connected)>& onVerdict = {});

}  // namespace zelvar
