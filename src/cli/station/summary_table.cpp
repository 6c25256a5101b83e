#include "cli/station/summary_table.h"

#include <algorithm>
#include <array>

#include "cli/console_output.h"
#include "cli/station/unit_line.h"

namespace zelvar::cli {

namespace {

constexpr std::size_t kColumns = 7;
using Row = std::array<std::string, kColumns>;

std::string OrDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

Row RowOf(const UnitState& unit) {
    return {unit.port,
            unit.exitCode == 0 ? unit.resultText
                               : unit.resultText + " (" + std::to_string(unit.exitCode) + ")",
            OrDash(unit.receiverState),
            OrDash(unit.fwBefore.version),
            OrDash(unit.fwAfter.version),
            MinutesSeconds(unit.seconds),
            std::to_string(unit.passes)};
}

}  // namespace

std::string SummaryTable(const std::vector<UnitState>& units) {
    std::vector<Row> rows{
        {"Port", "Result", "Receiver", "FW before", "FW after", "Time", "Passes"}};
    for (const UnitState& unit : units) rows.push_back(RowOf(unit));
    std::array<std::size_t, kColumns> widths{};
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    std::string table;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < kColumns; ++c) {
            line += row[c];
            if (c + 1 < kColumns) line += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        table += line + '\n';
    }
    return table;
}

}  // namespace zelvar::cli
