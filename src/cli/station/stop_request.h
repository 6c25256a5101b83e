// Ctrl-C (or a termination request) for the station: the signal-watching thread sets a
// flag and wakes the station's poll loop through a pipe.
#pragma once

namespace zelvar::cli {

// Starts watching the stop signals (once per process).
void WatchStationStop();
// True once a stop was requested.
bool StationStopRequested();
// Becomes readable at the request; for poll(). -1 before WatchStationStop.
int StationStopFd();

}  // namespace zelvar::cli
