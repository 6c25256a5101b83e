// Has the serial port refuse one line speed for the length of a test (the seam in
// link/line_speed_seam.h). Only for test programs that link the link layer.
#pragma once

#include "link/line_speed_seam.h"

namespace zelvar::test {

class RefusedLineSpeed {
  public:
    explicit RefusedLineSpeed(int speed) { RefuseLineSpeedForTests(speed); }
    ~RefusedLineSpeed() { RefuseLineSpeedForTests(0); }
    RefusedLineSpeed(const RefusedLineSpeed&) = delete;
    RefusedLineSpeed& operator=(const RefusedLineSpeed&) = delete;
};

}  // namespace zelvar::test
