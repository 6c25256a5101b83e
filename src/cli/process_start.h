// What main does first on each platform (process_start_posix.cpp,
// process_start_win32.cpp): the process-wide settings and the program's arguments.
#pragma once

#include <string>
#include <vector>

namespace zelvar::cli {

// Linux: a closed output pipe must not kill a running flash (SIGPIPE is ignored).
// Windows: the console shows the UTF-8 the command line writes.
void PrepareProcess();

// The program's arguments in UTF-8, the program name first as in argv. On Windows they
// are read from the wide command line, as argv holds them in the ANSI code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace zelvar::cli
