// Start-up's instance check: one copy of the dialog per user. The running copy holds
// the instance lock for its whole run; the system drops it however the copy ends.
#pragma once

#include <functional>
#include <string>

namespace zelvar {

// Runs run() while holding the lock at lockPath, or, when another copy holds it, calls
// refuse() (which shows string 1 captioned with string 57346, owned by no window).
void RunSingleInstance(const std::string& lockPath, const std::function<void()>& refuse,
                       const std::function<void()>& run);

}  // namespace zelvar
