// The display on a terminal: one line per unit, redrawn in place.
#include "cli/console_terminal.h"
#include "cli/station/station_display.h"
#include "cli/station/summary_table.h"
#include "cli/station/unit_line.h"

namespace zelvar::cli {

namespace {

constexpr double kRedrawSeconds = 0.25;  // the block is drawn at most this often

class CLiveDisplay : public IStationDisplay {
  public:
    CLiveDisplay(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

    void OnLine(std::size_t, const std::vector<UnitState>&, bool, const std::string&,
                const JsonFields&) override {
        m_changed = true;
    }

    void OnUnitEnd(std::size_t, const std::vector<UnitState>&) override { m_changed = true; }

    void Refresh(const std::vector<UnitState>& units, double nowSeconds) override {
        if (!m_changed && units.size() == m_drawnLines) return;
        if (nowSeconds - m_drawnAt < kRedrawSeconds) return;
        Draw(units);
        m_drawnAt = nowSeconds;
    }

    void Finish(const std::vector<UnitState>& units, int) override {
        Draw(units);
        std::fputs("\n", m_out);
        std::fputs(SummaryTable(units).c_str(), m_out);
        std::fflush(m_out);
    }

    void Note(const std::string& text) override {
        // Above the block: it is drawn again below the note.
        Erase();
        std::fprintf(m_err, "zelvar: %s\n", PrintableText(text).c_str());
        std::fflush(m_err);
        m_changed = true;
    }

  private:
    void Erase() {
        if (m_drawnLines > 0) std::fprintf(m_out, "\x1b[%zuA\x1b[J", m_drawnLines);
        m_drawnLines = 0;
    }

    void Draw(const std::vector<UnitState>& units) {
        Erase();
        // A line longer than the terminal would wrap and throw off the cursor moves.
        const std::size_t columns = static_cast<std::size_t>(TerminalColumns(m_out)) - 1;
        for (const UnitState& unit : units) {
            std::fprintf(m_out, "\r\x1b[2K%s\n", LiveUnitLine(unit).substr(0, columns).c_str());
        }
        std::fflush(m_out);
        m_drawnLines = units.size();
        m_changed = false;
    }

    std::FILE* m_out;
    std::FILE* m_err;
    std::size_t m_drawnLines = 0;
    double m_drawnAt = -kRedrawSeconds;
    bool m_changed = true;
};

}  // namespace

std::unique_ptr<IStationDisplay> MakeLiveDisplay(std::FILE* out, std::FILE* err) {
    return std::make_unique<CLiveDisplay>(out, err);
}

std::unique_ptr<IStationDisplay> MakeStationDisplay(DisplayMode mode, std::FILE* out,
                                                    std::FILE* err) {
    switch (mode) {
        case DisplayMode::Terminal:
            return MakeLiveDisplay(out, err);
        case DisplayMode::Json:
            return MakeJsonDisplay(out, err);
        case DisplayMode::Plain:
            break;
    }
    return MakePlainDisplay(out, err);
}

}  // namespace zelvar::cli
