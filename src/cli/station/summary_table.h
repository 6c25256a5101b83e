// The table the station prints at the end: one row per unit.
#pragma once

#include <string>
#include <vector>

#include "cli/station/unit_state.h"

namespace zelvar::cli {

// Columns port, result, the receiver's state, FW version before and after, duration and passes,
// each as wide as its widest cell; one line per unit after the header, every line ending in '\n'.
std::string SummaryTable(const std::vector<UnitState>& units);

}  // namespace zelvar::cli
