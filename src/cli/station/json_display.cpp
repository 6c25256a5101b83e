// The display with --json: the workers' lines as they came, and the station's own.
#include "cli/station/station_display.h"
#include "cli/station/unit_json.h"

namespace zelvar::cli {

namespace {

class CJsonDisplay : public IStationDisplay {
  public:
    CJsonDisplay(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

    void OnLine(std::size_t unit, const std::vector<UnitState>& units, bool fromStderr,
                const std::string& line, const JsonFields&) override {
        if (fromStderr) {
            std::fprintf(m_err, "%s: %s\n", units[unit].label.c_str(), PrintableText(line).c_str());
            return;
        }
        Line(line);
    }

    void OnUnitEnd(std::size_t unit, const std::vector<UnitState>& units) override {
        Line(UnitJson(units[unit]));
    }

    void Refresh(const std::vector<UnitState>&, double) override {}

    void Finish(const std::vector<UnitState>& units, int exitCode) override {
        Line(SummaryJson(units, exitCode));
    }

    void Note(const std::string& text) override {
        std::fprintf(m_err, "zelvar: %s\n", PrintableText(text).c_str());
    }

  private:
    void Line(const std::string& line) {
        std::fputs(line.c_str(), m_out);
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }

    std::FILE* m_out;
    std::FILE* m_err;
};

}  // namespace

std::unique_ptr<IStationDisplay> MakeJsonDisplay(std::FILE* out, std::FILE* err) {
    return std::make_unique<CJsonDisplay>(out, err);
}

}  // namespace zelvar::cli
