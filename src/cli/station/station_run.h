// One station run: a worker per unit, all read by one loop, the units' state kept from
// what they print, shown by the display. Ctrl-C interrupts every worker.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/station/port_watch.h"
#include "cli/station/station_display.h"
#include "cli/station/unit_state.h"
#include "cli/station/worker_pool.h"

namespace zelvar::cli {

// After Ctrl-C the workers get this long to stop by themselves before they are killed.
constexpr double kInterruptGraceSeconds = 10;

class CStation : private IWorkerListener {
  public:
    // logDir: where the units' log files go, with its trailing '/' ("" for none).
    CStation(const FlashOptions& options, std::string logDir, IStationDisplay& display);

    // Flashes every port at once and returns when all have finished (or were stopped).
    void RunPorts(const std::vector<std::string>& ports);
    // Flashes each device as watch finds it, until Ctrl-C.
    void RunWatch(CPortWatch& watch);

    const std::vector<UnitState>& Units() const { return m_units; }
    // The run's exit code: success when every unit succeeded, else the most serious.
    int ExitCode() const;

  private:
    void StartUnit(const std::string& port);
    bool Running(const std::string& port) const;
    void Round(int timeoutMs);
    void Interrupt();
    double Now() const;

    void OnWorkerLine(int unit, bool fromStderr, const std::string& line) override;
    void OnWorkerEnd(int unit, int waitStatus) override;

    const FlashOptions& m_options;
    std::string m_logDir;
    IStationDisplay& m_display;
    std::string m_program;
    CWorkerPool m_pool;
    std::vector<UnitState> m_units;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

}  // namespace zelvar::cli
