// Runs the built zelvar (or another program, such as a private copy of it) as a child
// process with a time limit, and collects what it printed and how it ended. Used by the
// command-line and reliability tests and by the benchmarks.
#pragma once

#include <signal.h>

#include <functional>
#include <string>
#include <vector>

namespace zelvar::test {

constexpr int kZelvarLimitSeconds = 180;  // a child still running then is killed

struct ZelvarRun {
    int exitCode = -1;       // exit status; -1 when it did not exit by itself within the limit
    int signal = 0;          // the signal that ended it, 0 when it exited
    bool overLimit = false;  // still running at the limit, so it was killed
    double seconds = 0;      // from start to end
    std::string out;         // standard output; on a terminal everything the terminal showed
    std::string err;
    std::vector<std::string> OutLines() const;
};

struct ZelvarOptions {
    std::string program;            // empty: ZelvarBinary()
    std::vector<std::string> args;  // after the program name
    // Typed once standard output shows prompt (at once when prompt is empty). On pipes
    // standard input is closed after it: the child never sees a terminal or more answers.
    std::string input;
    std::string prompt;
    // Standard input, output and error all on one pseudo-terminal (80x24) instead of pipes.
    bool onTerminal = false;
    std::string runtimeDir;  // XDG_RUNTIME_DIR of the child; empty: inherited
    double limitSeconds = kZelvarLimitSeconds;
    // Called with what the child has printed on standard output so far; true sends
    // killSignal to the child (once).
    std::function<bool(const std::string& out)> killWhen;
    int killSignal = SIGKILL;
};

// Path of the zelvar binary in the build tree, or of a copy named by this variable (a
// test that needs files beside the program runs a copy in a directory of its own).
constexpr const char* kZelvarCopyVariable = "ZELVAR_TEST_PROGRAM_COPY";
std::string ZelvarBinary();

ZelvarRun RunZelvarWith(const ZelvarOptions& options);

// Runs zelvar with args; input goes to its standard input (a pipe, not a terminal).
ZelvarRun RunZelvar(const std::vector<std::string>& args, const std::string& input = "",
                    int limitSeconds = kZelvarLimitSeconds);

// As RunZelvar, and sends SIGINT once the child has printed marker on standard output.
ZelvarRun RunZelvarInterrupted(const std::vector<std::string>& args, const std::string& marker,
                               int limitSeconds = kZelvarLimitSeconds);

// Runs zelvar on a pseudo-terminal; types answer once the output shows prompt.
ZelvarRun RunZelvarOnTerminal(const std::vector<std::string>& args, const std::string& prompt,
                              const std::string& answer, int limitSeconds = kZelvarLimitSeconds);

}  // namespace zelvar::test
