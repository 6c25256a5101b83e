#include <atomic>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "app/jobs.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/signal_watch.h"
#include "link/flash_information.h"
#include "link/port.h"

namespace zelvar::cli {

namespace {

// After standard input ends, the receiver's answers to the last lines still get this
// long to arrive before the terminal leaves.
constexpr int kInputEndLingerMs = 1500;
// A full command queue is tried again after this pause, this many times.
constexpr int kQueueFullRetryMs = 10;
constexpr int kQueueFullRetries = 500;

std::atomic<bool> g_terminalEnded{false};

int SpeedCommand(int speed) {
    switch (speed) {
        case 9600:
            return TermSpeed9600;
        case 19200:
            return TermSpeed19200;
        case 57600:
            return TermSpeed57600;
        case 115200:
            return TermSpeed115200;
        default:
            return TermSpeed4800;
    }
}

// Queues a command; a full queue is waited for, a loop that has ended is not.
void Post(int command, const char* text = nullptr) {
    for (int attempt = 0; attempt < kQueueFullRetries && !g_terminalEnded.load(); ++attempt) {
        if (PostTerminalCommand(command, text)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(kQueueFullRetryMs));
    }
}

// Sends every line typed (or piped) on standard input; leaves at its end.
void ReadInputLines() {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Post(TermSend, line.c_str());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kInputEndLingerMs));
    Post(TermStop);
}

}  // namespace

int RunTerminalCommand(const TerminalOptions& options) {
    CCliSession session({options.device.json, AnswerPolicy::AlwaysNo, true, options.device.logPath,
                         options.device.port});
    g_portName.Set(options.device.port.c_str());
    g_terminalBaud.store(options.speed);
    g_hexDisplay.store(options.hex ? 1 : 0);
    g_terminalMode.store(1);
    BeginTerminalSession(options.device.port.c_str());
    Post(SpeedCommand(options.speed));
    WatchStopSignals([] {
        PostTerminalCommand(TermStop);
        g_jobCancel.store(true);
    });
    std::thread(ReadInputLines).detach();

    const int result = RunJob(options.device.port.c_str(), "", 1);
    g_terminalEnded.store(true);
    g_terminalMode.store(0);
    // Ctrl-C before the job had the port: it never tried to open it.
    if (result == kJobPortNotOpened && !g_jobCancel.load()) {
        session.Output().Note(options.device.port + ": " + LastPortOpenError());
        return session.Finish(kExitPortNotOpened, kCannotOpenGpsPort);
    }
    return session.Finish(kExitSuccess, "Terminal closed");
}

}  // namespace zelvar::cli
