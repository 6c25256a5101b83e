#include "cli/station/unit_json.h"

#include <cstdio>

#include "cli/exit_codes.h"
#include "cli/json_names.h"
#include "cli/json_output.h"

namespace zelvar::cli {

namespace {

// Each piece is built by appending: GCC 12 sees an overlap in "literal" + string&& in
// Release builds otherwise.
std::string Member(char lead, std::string_view name, const std::string& value) {
    std::string text(1, lead);
    text += JsonString(name);
    text += ':';
    text += value;
    return text;
}

std::string Field(std::string_view name, const std::string& value) {
    return Member(',', name, JsonString(value));
}

std::string Number(std::string_view name, long value) {
    return Member(',', name, std::to_string(value));
}

std::string Kind(std::string_view kind) {
    return Member('{', json::kKind, JsonString(kind));
}

// The programming's line figures, as the worker's verdict gave them; none without.
std::string LineFields(const UnitState& unit) {
    if (!unit.line) return "";
    return Number(json::kFramesSent, unit.line->framesSent) +
           Number(json::kFramesRefused, unit.line->framesRefused) +
           Number(json::kMeanFrameBytes, unit.line->meanFrameBytes) +
           Member(',', json::kUndetectedChance, JsonNumber(unit.line->undetectedChance));
}

}  // namespace

std::string UnitJson(const UnitState& unit) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, ",\"seconds\":%.1f", unit.seconds);
    return Kind("unit") + Field(json::kPort, unit.port) + Number(json::kCode, unit.exitCode) +
           Field(json::kText, unit.resultText) + Field(json::kState, unit.receiverState) +
           Field(json::kReason, unit.reason) + Number("passes", unit.passes) + seconds +
           Field("fw_before", unit.fwBefore.version) + Field("fw_after", unit.fwAfter.version) +
           Field("log", unit.logPath) + LineFields(unit) + "}";
}

std::string SummaryJson(const std::vector<UnitState>& units, int exitCode) {
    long succeeded = 0;
    for (const UnitState& unit : units) succeeded += unit.exitCode == kExitSuccess ? 1 : 0;
    const long count = static_cast<long>(units.size());
    return Kind("summary") + Number("units", count) + Number("succeeded", succeeded) +
           Number("failed", count - succeeded) + Number(json::kCode, exitCode) + "}";
}

}  // namespace zelvar::cli
