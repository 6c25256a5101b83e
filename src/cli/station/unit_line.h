// One unit as a line of text: its line of the live block, and its verdict.
#pragma once

#include <string>

#include "cli/station/unit_state.h"

namespace zelvar::cli {

// "ttyUSB0  program  42 %  11.5 kB/s  0:07 left" while it runs, its result once finished
// ("ttyUSB0  failed (4): Cannot connect to GPS."), "ttyUSB0  waiting" before its first event.
std::string LiveUnitLine(const UnitState& unit);

// "Verified" or "failed (4): Cannot connect to GPS.", with the reason of a failed unit
// when its result does not say it ("failed (5): Verification failed - Verify: ..."), else
// its last note or text when it has no reason of its own.
std::string UnitVerdict(const UnitState& unit);

// Seconds as "m:ss".
std::string MinutesSeconds(double seconds);

}  // namespace zelvar::cli
