#include <windows.h>

#include <cstring>
#include <string>

#include "base/wide_text.h"
#include "image/app_directory.h"

namespace zelvar {

namespace {

constexpr DWORD kWidePathChars = 32768;  // the longest path Windows hands out

// A UTF-8 path into out (kPathBytes bytes), with a trailing separator when it has none;
// false, with out "", when it does not fit.
bool StoreDirectory(const std::string& path, char* out) {
    std::string directory = path;
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') {
        directory += '\\';
    }
    if (directory.size() <= 1 || directory.size() >= kPathBytes) return false;
    std::memcpy(out, directory.c_str(), directory.size() + 1);
    return true;
}

}  // namespace

bool GetAppDirectory(char* out) {
    out[0] = '\0';
    std::wstring path(kWidePathChars, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), kWidePathChars);
    // A result that fills the buffer has been cut: refuse it.
    if (length == 0 || length >= kWidePathChars) return false;
    return DirectoryOfPath(Utf8FromWide(path.c_str(), static_cast<int>(length)).c_str(), out);
}

bool GetWorkingDirectory(char* out) {
    out[0] = '\0';
    std::wstring path(kWidePathChars, L'\0');
    const DWORD length = GetCurrentDirectoryW(kWidePathChars, path.data());
    if (length == 0 || length >= kWidePathChars) return false;
    return StoreDirectory(Utf8FromWide(path.c_str(), static_cast<int>(length)), out);
}

bool PathExists(const char* path) {
    const std::wstring wide = WideFromUtf8(path);
    return !wide.empty() && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryOfPath(const char* path, char* out) {
    // Windows takes either separator.
    const char* slash = std::strrchr(path, '\\');
    const char* forward = std::strrchr(path, '/');
    if (slash == nullptr || (forward != nullptr && forward > slash)) slash = forward;
    return PathUpTo(path, slash, out);
}

}  // namespace zelvar
