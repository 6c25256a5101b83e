// The zelvar commands. Each returns the program's exit code (exit_codes.h).
#pragma once

#include <string>
#include <vector>

#include "cli/console_window.h"
#include "upload/flash_verify.h"

namespace zelvar::cli {

struct DeviceOptions {
    std::string port;     // a path, or "GPS1:" / "GPS2:"
    std::string logPath;  // --log FILE; empty: beside the program
    bool json = false;
};

struct FlashOptions {
    DeviceOptions device;  // device.port: the one port of a single flash
    AnswerPolicy policy = AnswerPolicy::Ask;
    std::string image;
    double timeoutSeconds = 0;  // 0: no limit
    // After the upload: connect again and compare with the image (Words), and read every
    // word back (Full); Off skips it.
    VerifyMode verify = VerifyMode::Words;
    // The station: several units at once, each in a worker process of its own.
    std::vector<std::string> ports;  // every --port given
    std::string portsFrom;           // --ports-from FILE: one port per line
    std::string logDir;              // --log-dir DIR: one log file per unit
    std::string reportPath;          // --report FILE (.csv or .json)
    bool watch = false;              // flash each device as it appears, until Ctrl-C
    std::string portGlob;            // --port-glob PATTERN for --watch

    // True when the options ask for the station rather than one flash in this process.
    bool StationMode() const {
        return ports.size() > 1 || !portsFrom.empty() || !logDir.empty() || !reportPath.empty() ||
               watch;
    }
};

struct TerminalOptions {
    DeviceOptions device;
    int speed = 4800;
    bool hex = false;
};

struct InspectOptions {
    std::string image;
    bool json = false;
};

struct MakeImageOptions {
    std::string pfld;
    std::string fw;
    std::string sfld;  // empty: no SFLD section
    std::string out;
};

int RunConnectCommand(const DeviceOptions& options);
int RunFlashCommand(const FlashOptions& options);
int RunStationCommand(const FlashOptions& options);
int RunTerminalCommand(const TerminalOptions& options);
int RunInspectCommand(const InspectOptions& options);
int RunMakeImageCommand(const MakeImageOptions& options);

}  // namespace zelvar::cli
