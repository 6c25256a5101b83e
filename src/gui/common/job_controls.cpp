#include "gui/common/job_controls.h"

#include "base/resource_ids.h"

namespace zelvar {

void SwitchJobControls(IMainWindow& window, bool enable) {
    window.Enable(IDC_LOAD, false);
    for (int id : {IDC_CONNECT, IDC_IMAGE_LIST, IDC_BROWSE_SEND, IDC_MODE, IDC_PORT_LIST}) {
        window.Enable(id, enable);
    }
}

}  // namespace zelvar
