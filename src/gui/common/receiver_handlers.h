// The main dialog's handlers around the receiver: Connect GPS, the port choice and the
// About box. They decide what the dialog's controls do and reach them through window.
#pragma once

#include "base/main_window.h"

namespace zelvar {

// Empties the message list and repaints the window at once (the connect blocks this
// thread), connects, and enables "Load" only when a receiver answered.
void OnConnectGps(IMainWindow& window);
// The port list's selection into g_portName; in terminal mode the terminal reopens.
void OnPortSelected(IMainWindow& window);
// The About box, unless flash programming runs.
void ShowAboutBox(IMainWindow& window);

}  // namespace zelvar
