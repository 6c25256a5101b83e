// The dialog's switch of its job controls, registered for the length of a test that
// runs jobs on a headless window without a dialog (folders that link zelvar_dialog).
#pragma once

#include "base/message_log.h"
#include "gui/common/job_controls.h"

namespace zelvar::test {

struct DialogJobControls {
    DialogJobControls() { SetJobControlsSwitch(SwitchJobControls); }
    ~DialogJobControls() { SetJobControlsSwitch(nullptr); }
    DialogJobControls(const DialogJobControls&) = delete;
    DialogJobControls& operator=(const DialogJobControls&) = delete;
};

}  // namespace zelvar::test
