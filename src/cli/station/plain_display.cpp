// The display off a terminal: lines prefixed with the unit's port.
#include <map>

#include "cli/json_names.h"
#include "cli/station/station_display.h"
#include "cli/station/summary_table.h"
#include "cli/station/unit_line.h"

namespace zelvar::cli {

namespace {

constexpr int kProgressStepPercent = 10;  // one progress line per this share

class CPlainDisplay : public IStationDisplay {
  public:
    CPlainDisplay(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

    void OnLine(std::size_t unit, const std::vector<UnitState>& units, bool fromStderr,
                const std::string& line, const JsonFields& fields) override {
        const UnitState& state = units[unit];
        if (fromStderr || fields.empty()) {
            Print(fromStderr ? m_err : m_out, state, line);
            return;
        }
        const std::string kind = FieldOf(fields, json::kKind);
        const std::string text = FieldOf(fields, json::kText);
        if (kind == json::kMessage || kind == json::kInfo ||
            (kind == json::kStatus && !text.empty())) {
            Print(m_out, state, text);
        } else if (kind == json::kAlert || kind == json::kQuestion) {
            Print(m_out, state, FieldOf(fields, json::kCaption) + ": " + text);
        } else if (kind == json::kProgress) {
            Progress(unit, state);
        }
    }

    void OnUnitEnd(std::size_t unit, const std::vector<UnitState>& units) override {
        Print(m_out, units[unit], "finished: " + UnitVerdict(units[unit]));
    }

    void Refresh(const std::vector<UnitState>&, double) override {}

    void Finish(const std::vector<UnitState>& units, int) override {
        std::fputs(SummaryTable(units).c_str(), m_out);
        std::fflush(m_out);
    }

    void Note(const std::string& text) override {
        std::fprintf(m_err, "zelvar: %s\n", PrintableText(text).c_str());
        std::fflush(m_err);
    }

  private:
    void Print(std::FILE* stream, const UnitState& unit, const std::string& text) {
        std::fprintf(stream, "%s: %s\n", unit.label.c_str(), PrintableText(text).c_str());
        std::fflush(stream);
    }

    void Progress(std::size_t unit, const UnitState& state) {
        const int step = ProgramPercent(state) / kProgressStepPercent;
        auto [it, added] = m_shownStep.emplace(unit, step);
        if (!added && it->second == step) return;
        it->second = step;
        Print(m_out, state, "programming " + std::to_string(step * kProgressStepPercent) + " %");
    }

    std::FILE* m_out;
    std::FILE* m_err;
    std::map<std::size_t, int> m_shownStep;  // the last tenth shown of each unit
};

}  // namespace

std::unique_ptr<IStationDisplay> MakePlainDisplay(std::FILE* out, std::FILE* err) {
    return std::make_unique<CPlainDisplay>(out, err);
}

}  // namespace zelvar::cli
