// Runs the built zelvar binary as a child process, with a private runtime directory
// (so parallel runs never share the SFLD temporary file), and collects what it printed.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zelvar::test {

struct ProcessRun {
    int exitCode = -1;       // exit status; -1 when it did not exit by itself
    int signal = 0;          // the signal that ended it, 0 when it exited
    bool overLimit = false;  // still running at the limit, so it was killed
    double seconds = 0;      // from start to end
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::vector<std::string> args;  // after the program name
    std::string runtimeDir;         // XDG_RUNTIME_DIR of the child; empty: inherited
    double limitSeconds = 120;
    // Called with what the child has printed on standard output so far; true sends
    // killSignal to the child (once).
    std::function<bool(const std::string& out)> killWhen;
    int killSignal = 9;
};

std::string ZelvarPath();
ProcessRun RunProcess(const std::string& program, const ProcessOptions& options);
inline ProcessRun RunZelvar(const ProcessOptions& options) {
    return RunProcess(ZelvarPath(), options);
}

}  // namespace zelvar::test
