// What the station knows of one unit while its worker runs and after: taken from the
// worker's JSON lines and, when it ended without a result, from how it ended.
#pragma once

#include <cstdint>
#include <string>

#include "cli/station/json_fields.h"
#include "cli/station/unit_record.h"

namespace zelvar::cli {

// The unit's record (port, log, start, duration, passes, receiver words, result) and
// what the display needs besides while the worker runs.
struct UnitState : UnitRecord {
    std::string label;        // the port's short name, the prefix of its display lines
    double startSeconds = 0;  // on the station's clock

    std::string phase;  // the last phase the worker entered ("" before the first)
    bool uploadStarted = false;
    uint32_t done = 0, total = 0;
    double programStartSeconds = -1;  // first progress sample of this programming
    uint32_t programStartDone = 0;
    double bytesPerSecond = 0;

    std::string lastText;  // the last status or message text
    std::string note;      // the last line the worker wrote on standard error

    bool running = false;
    bool finished = false;
    bool hasResult = false;
};

// The short name a port is shown by: its last path component without a trailing ':'.
std::string PortLabel(const std::string& port);

// Takes one JSON line of the worker (already parsed) received at nowSeconds.
void ApplyWorkerEvent(UnitState& unit, const JsonFields& fields, double nowSeconds);

// The worker ended with waitStatus (the pool's, worker_status.h) at nowSeconds. Without a
// result line its exit code is its exit status (128 + signal when killed on Linux), and
// upload failed once the upload began.
void ApplyWorkerEnd(UnitState& unit, int waitStatus, double nowSeconds);

// Whole percent of the programming done; 0 before it began.
int ProgramPercent(const UnitState& unit);
// Seconds left of the programming at the current rate; negative when unknown.
double SecondsLeft(const UnitState& unit);

}  // namespace zelvar::cli
