// Ctrl-C (or a termination request) for the station: the signal-watching thread sets a
// flag and wakes the station's wait for its workers.
#pragma once

#include <cstdint>

namespace zelvar::cli {

// Starts watching the stop signals (once per process).
void WatchStationStop();
// True once a stop was requested.
bool StationStopRequested();
// What the wait for the workers includes to wake at the request: on Linux the read end
// of a pipe, readable then (for poll()); on Windows an event, signalled then. -1 on
// Linux, null on Windows, before WatchStationStop.
std::intptr_t StationStopWaitable();

}  // namespace zelvar::cli
