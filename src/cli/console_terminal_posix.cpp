#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/console_terminal.h"

namespace zelvar::cli {

bool EnableControlSequences(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

bool InputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
        return kDefaultTerminalColumns;
    }
    return size.ws_col;
}

}  // namespace zelvar::cli
