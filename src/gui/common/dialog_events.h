// What a front end's main window hands to the dialog's handlers; the window never
// decides anything itself.
#pragma once

#include <functional>

namespace zelvar {

struct DialogEvents {
    std::function<void(int id)> command;  // a control's click or selection change
    std::function<void()> ok;             // Enter
    std::function<void()> cancel;         // Escape
    std::function<void()> closeRequest;   // the window's close button
};

}  // namespace zelvar
