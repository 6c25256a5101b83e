// A station's worker on Windows has no console to receive Ctrl-C on: the station asks
// it to stop through an event named after the worker's process id, which the worker's
// stop watch waits on (signal_watch_win32.cpp) and which a flash outside a station
// does not find.
#pragma once

#include <string>

namespace zelvar::cli {

inline std::wstring WorkerStopEventName(unsigned long processId) {
    return L"Local\\zelvar-stop-" + std::to_wstring(processId);
}

}  // namespace zelvar::cli
