// zelvar flash with several ports, --ports-from, --log-dir, --report or --watch: the
// production station. Each unit is flashed by a worker process of its own.
#include <cstdio>

#include "app/log_location.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/station/file_sha256.h"
#include "cli/station/station_files.h"
#include "cli/station/station_run.h"
#include "cli/station/stop_request.h"
#include "cli/station/unit_ports.h"
#include "cli/station/unit_records.h"
#include "cli/station/unit_report.h"

namespace zelvar::cli {

namespace {

int Refuse(const std::string& reason) {
    std::fprintf(stderr, "zelvar: %s\n", reason.c_str());
    return kExitUsage;
}

// The directory of the units' logs, made when missing; "" with error set when it cannot be.
std::string UnitLogDirectory(const std::string& logDir, std::string& error) {
    if (logDir.empty()) return DefaultLogDirectory();
    return UnitLogDirectoryPath(logDir, error);
}

ImageIdentity IdentityOf(const std::string& image, IStationDisplay& display) {
    ImageIdentity identity;
    identity.name = FileNameOf(image);
    std::string error;
    identity.sha256 = FileSha256(image, error);
    if (identity.sha256.empty()) display.Note("no checksum of the image: " + error);
    return identity;
}

void WriteReport(const FlashOptions& options, const std::vector<UnitState>& units,
                 IStationDisplay& display) {
    if (options.reportPath.empty()) return;
    std::string error;
    const std::vector<UnitRecord> records = RecordsOf(units, IdentityOf(options.image, display));
    if (!WriteUnitReport(options.reportPath, records, error)) {
        display.Note("the report was not written: " + error);
    }
}

}  // namespace

int RunStationCommand(const FlashOptions& options) {
    std::vector<std::string> ports;
    std::string error;
    if (!StationPorts(options.ports, options.portsFrom, ports, error)) return Refuse(error);
    if (ports.empty() && !options.watch) return Refuse("--ports-from names no port");
    if (!options.reportPath.empty()) {
        const std::string problem = CheckReportPath(options.reportPath);
        if (!problem.empty()) return Refuse(problem);
    }
    const std::string logDir = UnitLogDirectory(options.logDir, error);
    if (!error.empty()) return Refuse(error);

    WatchStationStop();
    auto display = MakeStationDisplay(ChooseDisplayMode(options.device.json), stdout, stderr);
    CStation station(options, logDir, *display);
    if (options.watch) {
        CPortWatch watch(ports, options.portGlob);
        station.RunWatch(watch);
    } else {
        station.RunPorts(ports);
    }
    const int code = station.ExitCode();
    display->Finish(station.Units(), code);
    WriteReport(options, station.Units(), *display);
    return code;
}

}  // namespace zelvar::cli
