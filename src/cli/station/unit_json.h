// The station's own JSON lines: one per finished unit and the summary at the end.
#pragma once

#include <string>
#include <vector>

#include "cli/station/unit_state.h"

namespace zelvar::cli {

// {"kind":"unit","port":...,"code":N,"text":...,"state":...,"reason":...,"passes":N,
//  "seconds":S,"fw_before":...,"fw_after":...,"log":...}, and the worker's
// "frames_sent", "frames_refused", "mean_frame_bytes" and "undetected_chance" when it
// gave them.
std::string UnitJson(const UnitState& unit);

// {"kind":"summary","units":N,"succeeded":N,"failed":N,"code":N}
std::string SummaryJson(const std::vector<UnitState>& units, int exitCode);

}  // namespace zelvar::cli
