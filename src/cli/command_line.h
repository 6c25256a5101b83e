// Hands the program's arguments to CLI11.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace zelvar::cli {

// Parses arguments (the program name first, as ProgramArguments gives them) with app;
// throws CLI::ParseError as CLI::App::parse does.
void ParseCommandLine(CLI::App& app, const std::vector<std::string>& arguments);

}  // namespace zelvar::cli
