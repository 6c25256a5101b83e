// Runs the built zelvar binary as a child process and collects what it printed.
#pragma once

#include <string>
#include <vector>

namespace zelvar::test {

struct ZelvarRun {
    int exitCode = -1;  // -1: did not exit by itself within the limit (it was killed)
    std::string out;
    std::string err;
    std::vector<std::string> OutLines() const;
};

// Path of the zelvar binary in the build tree, or of a copy named by this variable (a
// test that needs files beside the program runs a copy in a directory of its own).
constexpr const char* kZelvarCopyVariable = "ZELVAR_TEST_PROGRAM_COPY";
std::string ZelvarBinary();

// Runs zelvar with args; input goes to its standard input (which is a pipe, not a
// terminal). The child is killed after limitSeconds.
ZelvarRun RunZelvar(const std::vector<std::string>& args, const std::string& input = "",
                    int limitSeconds = 180);

// As RunZelvar, and sends SIGINT once the child has printed marker on standard output.
ZelvarRun RunZelvarInterrupted(const std::vector<std::string>& args, const std::string& marker,
                               int limitSeconds = 180);

// Runs zelvar on a pseudo-terminal (standard input, output and error all on it); types
// answer once the output shows prompt. out holds everything the terminal showed.
ZelvarRun RunZelvarOnTerminal(const std::vector<std::string>& args, const std::string& prompt,
                              const std::string& answer, int limitSeconds = 180);

}  // namespace zelvar::test
