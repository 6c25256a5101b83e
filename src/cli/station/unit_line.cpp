#include "cli/station/unit_line.h"

#include <cstdio>

#include "cli/console_output.h"
#include "cli/exit_codes.h"

namespace zelvar::cli {

namespace {

constexpr double kBytesPerKilobyte = 1024.0;

std::string ProgramLine(const UnitState& unit) {
    char text[96];
    std::snprintf(text, sizeof text, "%3d %%  %.1f kB/s", ProgramPercent(unit),
                  unit.bytesPerSecond / kBytesPerKilobyte);
    std::string line = text;
    const double left = SecondsLeft(unit);
    if (left >= 0) line += "  " + MinutesSeconds(left) + " left";
    return line;
}

}  // namespace

std::string MinutesSeconds(double seconds) {
    const long whole = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

std::string UnitVerdict(const UnitState& unit) {
    if (unit.exitCode == kExitSuccess) return PrintableText(unit.resultText);
    std::string verdict = "failed (" + std::to_string(unit.exitCode) + "): " + unit.resultText;
    // A result that carries its reason ("Upload failed: ...") says enough; one that does
    // not ("Verification failed") gets it added. A reason that is the result itself names
    // none: then the last word of the unit helps.
    const bool hasReason = !unit.reason.empty() && unit.reason != unit.resultText;
    const std::string& detail = unit.note.empty() ? unit.lastText : unit.note;
    if (hasReason) {
        if (unit.resultText.find(unit.reason) == std::string::npos) verdict += " - " + unit.reason;
    } else if (!detail.empty() && detail != unit.resultText) {
        verdict += " - " + detail;
    }
    return PrintableText(verdict);
}

std::string LiveUnitLine(const UnitState& unit) {
    std::string line = unit.label + "  ";
    if (unit.finished) return line + UnitVerdict(unit);
    if (unit.phase.empty())
        return PrintableText(line + (unit.lastText.empty() ? "waiting" : unit.lastText));
    line += unit.phase;
    if (unit.phase == "program" && unit.total > 0) line += "  " + ProgramLine(unit);
    if (unit.passes > 1) line += "  pass " + std::to_string(unit.passes);
    return PrintableText(line);
}

}  // namespace zelvar::cli
