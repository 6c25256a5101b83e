// What the station shows while its workers run, in one of three displays:
//  - Terminal: a live block with one line per unit, redrawn in place a few times a second;
//  - Plain: the units' messages and status texts as lines prefixed with their port, at
//    most one progress line per tenth of the programming;
//  - Json: every worker line as it came, one "unit" line per finished unit and a
//    "summary" line at the end.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/console_output.h"
#include "cli/station/json_fields.h"
#include "cli/station/unit_state.h"

namespace zelvar::cli {

class IStationDisplay {
  public:
    virtual ~IStationDisplay() = default;
    // A line of unit's worker (fields empty when it is no JSON), after the unit took it.
    virtual void OnLine(std::size_t unit, const std::vector<UnitState>& units, bool fromStderr,
                        const std::string& line, const JsonFields& fields) = 0;
    virtual void OnUnitEnd(std::size_t unit, const std::vector<UnitState>& units) = 0;
    // Called every round of the station's loop; the live block redraws when it is due.
    virtual void Refresh(const std::vector<UnitState>& units, double nowSeconds) = 0;
    // The end of the run: the summary table or line.
    virtual void Finish(const std::vector<UnitState>& units, int exitCode) = 0;
    // A line of the station itself (a unit that could not start, a device found).
    virtual void Note(const std::string& text) = 0;
};

std::unique_ptr<IStationDisplay> MakeLiveDisplay(std::FILE* out, std::FILE* err);
std::unique_ptr<IStationDisplay> MakePlainDisplay(std::FILE* out, std::FILE* err);
std::unique_ptr<IStationDisplay> MakeJsonDisplay(std::FILE* out, std::FILE* err);
std::unique_ptr<IStationDisplay> MakeStationDisplay(DisplayMode mode, std::FILE* out,
                                                    std::FILE* err);

}  // namespace zelvar::cli
