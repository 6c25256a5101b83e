// The dialog's job controls, switched off while an upload runs and on again at its end.
#pragma once

#include "base/main_window.h"

namespace zelvar {

// Disables "Load" whatever enable says, then enables or disables Connect GPS, the image
// or command list, the browse or Send button, the mode button and the port list.
void SwitchJobControls(IMainWindow& window, bool enable);

}  // namespace zelvar
