// The zelvar commands. Each returns the program's exit code (exit_codes.h).
#pragma once

#include <string>

#include "cli/console_window.h"

namespace zelvar::cli {

struct DeviceOptions {
    std::string port;     // a path, or "GPS1:" / "GPS2:"
    std::string logPath;  // --log FILE; empty: beside the program
    bool json = false;
};

struct FlashOptions {
    DeviceOptions device;
    AnswerPolicy policy = AnswerPolicy::Ask;
    std::string image;
    double timeoutSeconds = 0;  // 0: no limit
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
int RunTerminalCommand(const TerminalOptions& options);
int RunInspectCommand(const InspectOptions& options);
int RunMakeImageCommand(const MakeImageOptions& options);

}  // namespace zelvar::cli
