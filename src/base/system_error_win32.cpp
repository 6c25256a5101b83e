#include <windows.h>

#include <cstdio>

#include "base/system_error.h"

namespace zelvar {

const char* SystemErrorText(int error) {
    static thread_local char text[256];
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    if (n == 0) std::snprintf(text, sizeof text, "error %d", error);
    // The system's text ends in a line break (and a full stop); the caller's line has
    // its own end.
    for (DWORD i = n; i > 0 && (text[i - 1] == '\r' || text[i - 1] == '\n' || text[i - 1] == '.');
         --i) {
        text[i - 1] = '\0';
    }
    return text;
}

}  // namespace zelvar
