// The zelvar-sim command line: every option with its help text and the checks of its
// value, read into the receiver's SimOptions.
#pragma once

#include <ostream>

#include "sim/sim_options.h"

namespace zelvar::sim {

constexpr int kSimRun = -1;       // ParseSimArguments: start the receiver
constexpr int kSimUsageExit = 2;  // exit code after a bad option or value

// Reads argv into options; the link defaults to DefaultSimLinkPath(), everything else
// keeps the SimOptions defaults. kSimRun when the receiver is to start; otherwise the
// exit code: 0 after --help (the help went to out), kSimUsageExit after a bad option or
// value (the reason and the help went to out). A repeated option takes its last value.
int ParseSimArguments(int argc, const char* const* argv, SimOptions& options, std::ostream& out);

}  // namespace zelvar::sim
