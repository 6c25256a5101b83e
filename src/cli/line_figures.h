// What the flash programming's frames told about the line, as flash's JSON verdict gives
// it and the station keeps it per unit.
#pragma once

#include <cstdint>

namespace zelvar::cli {

struct LineFigures {
    uint32_t framesSent = 0;  // writes the receiver answered, taken or refused
    uint32_t framesRefused = 0;
    uint32_t meanFrameBytes = 0;  // data bytes per accepted data frame, rounded
    double undetectedChance = 0;  // that a taken frame holds an error its check missed
};

}  // namespace zelvar::cli
