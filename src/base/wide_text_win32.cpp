#include <windows.h>

#include "base/wide_text.h"

namespace zelvar {

std::wstring WideFromUtf8(const char* text) {
    if (text == nullptr || text[0] == '\0') return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

std::string Utf8FromWide(const wchar_t* text, int count) {
    if (text == nullptr || count == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, count, nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, count, out.data(), n, nullptr,
                        nullptr);
    if (count < 0) out.resize(static_cast<std::size_t>(n - 1));  // the terminating zero
    return out;
}

}  // namespace zelvar
