#include "cli/station/station_run.h"

#include <ctime>

#include "cli/exit_codes.h"
#include "cli/station/exit_ranking.h"
#include "cli/station/local_time.h"
#include "cli/station/stop_request.h"
#include "cli/station/unit_log_name.h"
#include "cli/station/worker_spawn.h"

namespace zelvar::cli {

namespace {

constexpr int kRoundMs = 100;  // the loop's longest wait, so the live block keeps moving

}  // namespace

CStation::CStation(const FlashOptions& options, std::string logDir, IStationDisplay& display)
    : m_options(options),
      m_logDir(std::move(logDir)),
      m_display(display),
      m_program(OwnProgramPath()) {}

double CStation::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void CStation::StartUnit(const std::string& port) {
    UnitState& unit = m_units.emplace_back();
    const int index = static_cast<int>(m_units.size() - 1);
    const std::time_t started = std::time(nullptr);
    unit.port = port;
    unit.label = PortLabel(port);
    unit.startedAt = LocalIsoTime(started);
    unit.startSeconds = Now();
    std::string error;
    if (!m_logDir.empty()) {
        unit.logPath = ClaimUnitLogPath(m_logDir, port, started, error);
        if (unit.logPath.empty()) m_display.Note(port + ": no log file: " + error);
    }
    const std::vector<std::string> args = WorkerArguments(m_options, port, unit.logPath);
    unit.running = m_pool.Start(index, m_program, args, error);
    if (unit.running) return;
    unit.finished = true;
    unit.exitCode = kExitUploadFailed;
    unit.resultText = error;
    m_display.OnUnitEnd(m_units.size() - 1, m_units);
}

bool CStation::Running(const std::string& port) const {
    for (const UnitState& unit : m_units) {
        if (unit.running && unit.port == port) return true;
    }
    return false;
}

void CStation::OnWorkerLine(int index, bool fromStderr, const std::string& line) {
    UnitState& unit = m_units[static_cast<std::size_t>(index)];
    JsonFields fields;
    if (fromStderr) {
        if (!line.empty()) unit.note = line;
    } else if (ParseJsonFields(line, fields)) {
        ApplyWorkerEvent(unit, fields, Now());
    }
    m_display.OnLine(static_cast<std::size_t>(index), m_units, fromStderr, line, fields);
}

void CStation::OnWorkerEnd(int index, int waitStatus) {
    ApplyWorkerEnd(m_units[static_cast<std::size_t>(index)], waitStatus, Now());
    m_display.OnUnitEnd(static_cast<std::size_t>(index), m_units);
}

void CStation::Round(int timeoutMs) {
    m_pool.Poll(timeoutMs, !StationStopRequested(), *this);
    m_display.Refresh(m_units, Now());
}

// Passes Ctrl-C on to every worker, gives them kInterruptGraceSeconds to report and end,
// then kills what is left.
void CStation::Interrupt() {
    m_pool.InterruptAll();
    const double killAt = Now() + kInterruptGraceSeconds;
    while (m_pool.Running() > 0 && Now() < killAt) Round(kRoundMs);
    m_pool.KillAll();
    while (m_pool.Running() > 0) Round(kRoundMs);
}

void CStation::RunPorts(const std::vector<std::string>& ports) {
    for (const std::string& port : ports) StartUnit(port);
    while (m_pool.Running() > 0 && !StationStopRequested()) Round(kRoundMs);
    if (StationStopRequested()) Interrupt();
}

void CStation::RunWatch(CPortWatch& watch) {
    double nextLook = 0;
    while (!StationStopRequested()) {
        if (Now() >= nextLook) {
            for (const std::string& port : watch.Appeared()) {
                if (!Running(port)) StartUnit(port);
            }
            nextLook = Now() + kPortWatchIntervalMs / 1000.0;
        }
        Round(kPortWatchIntervalMs);
    }
    Interrupt();
}

int CStation::ExitCode() const {
    std::vector<int> codes;
    for (const UnitState& unit : m_units) codes.push_back(unit.exitCode);
    return MostSeriousExit(codes);
}

}  // namespace zelvar::cli
