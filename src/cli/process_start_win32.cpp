#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cwchar>

#include "cli/process_start.h"

namespace zelvar::cli {

namespace {

std::string Utf8Of(const wchar_t* text) {
    const int chars = static_cast<int>(std::wcslen(text));
    if (chars == 0) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, chars, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, chars, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace

void PrepareProcess() {
    SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return {argv, argv + argc};
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8Of(wide[i]));
    LocalFree(wide);
    return arguments;
}

}  // namespace zelvar::cli
