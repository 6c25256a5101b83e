#include "cli/station/unit_json.h"

#include <cstdio>

#include "cli/exit_codes.h"
#include "cli/json_output.h"

namespace zelvar::cli {

namespace {

std::string Field(const char* name, const std::string& value) {
    return std::string(",\"") + name + "\":" + JsonString(value);
}

std::string Number(const char* name, long value) {
    return std::string(",\"") + name + "\":" + std::to_string(value);
}

}  // namespace

std::string UnitJson(const UnitState& unit) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, ",\"seconds\":%.1f", unit.seconds);
    return "{\"kind\":\"unit\"" + Field("port", unit.port) + Number("code", unit.exitCode) +
           Field("text", unit.resultText) + Number("passes", unit.passes) + seconds +
           Field("fw_before", unit.fwBefore.version) + Field("fw_after", unit.fwAfter.version) +
           Field("log", unit.logPath) + "}";
}

std::string SummaryJson(const std::vector<UnitState>& units, int exitCode) {
    long succeeded = 0;
    for (const UnitState& unit : units) succeeded += unit.exitCode == kExitSuccess ? 1 : 0;
    const long count = static_cast<long>(units.size());
    return "{\"kind\":\"summary\"" + Number("units", count) + Number("succeeded", succeeded) +
           Number("failed", count - succeeded) + Number("code", exitCode) + "}";
}

}  // namespace zelvar::cli
