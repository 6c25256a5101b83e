// One exit code for a station run from the exit codes of its units.
#pragma once

#include <vector>

namespace zelvar::cli {

// The most serious of codes, most serious first: upload failed, verification failed,
// interrupted, no receiver, port not opened, preparation stopped, any other non-zero
// code, success. An empty list is success.
int MostSeriousExit(const std::vector<int>& codes);

}  // namespace zelvar::cli
