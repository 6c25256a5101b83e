// A Windows console is a console handle: a pipe, a file or the NUL device (which the C
// library also calls a terminal) has no console mode.
#include <io.h>
#include <windows.h>

#include "cli/console_terminal.h"

namespace zelvar::cli {

namespace {

HANDLE HandleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

bool IsConsole(std::FILE* stream, DWORD& mode) {
    return _isatty(_fileno(stream)) != 0 && GetConsoleMode(HandleOf(stream), &mode) != 0;
}

}  // namespace

bool EnableControlSequences(std::FILE* stream) {
    DWORD mode = 0;
    if (!IsConsole(stream, mode)) return false;
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
    // Consoles before Windows 10 refuse the mode.
    return SetConsoleMode(HandleOf(stream), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool InputIsTerminal() {
    DWORD mode = 0;
    return IsConsole(stdin, mode);
}

int TerminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(HandleOf(stream), &info) == 0) return kDefaultTerminalColumns;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? columns : kDefaultTerminalColumns;
}

}  // namespace zelvar::cli
