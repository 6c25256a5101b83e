#include "cli/command_line.h"

#include <CLI/CLI.hpp>

namespace zelvar::cli {

void ParseCommandLine(CLI::App& app, const std::vector<std::string>& arguments) {
    // CLI11 takes the arguments last first, without the program name.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    if (!reversed.empty()) reversed.pop_back();
    app.parse(std::move(reversed));
}

}  // namespace zelvar::cli
