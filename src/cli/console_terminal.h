// The console the command line writes to and reads from, asked in each platform's
// own way (console_terminal_posix.cpp, console_terminal_win32.cpp).
#pragma once

#include <cstdio>

namespace zelvar::cli {

// True when stream is a terminal that takes the control sequences of the self-updating
// bottom line. On Windows this also turns the console's virtual-terminal sequences on;
// a console that refuses them counts as no terminal, so its output gets plain lines.
bool EnableControlSequences(std::FILE* stream);

// True when standard input is a terminal someone can answer a question on.
bool InputIsTerminal();

constexpr int kDefaultTerminalColumns = 80;  // when the terminal does not tell

// The width in columns of the terminal stream shows on.
int TerminalColumns(std::FILE* stream);

}  // namespace zelvar::cli
