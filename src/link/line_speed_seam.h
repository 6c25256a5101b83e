// A seam for the tests of what the callers do with a refused line speed. A pseudo-
// terminal takes every speed termios can express, and the callers ask only for the
// receiver's standard speeds; so a test names one speed, and the line settings refuse
// it as a driver that cannot generate it does (EINVAL), at open and on a change alike.
// Nothing but the tests calls this.
#pragma once

namespace zelvar {

// From now on the line settings refuse speed; 0 refuses none again.
void RefuseLineSpeedForTests(int speed);

}  // namespace zelvar
