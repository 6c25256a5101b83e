#include <windows.h>

#include <cstdlib>

#include "app/log_location.h"
#include "base/wide_text.h"
#include "image/app_directory.h"

namespace zelvar {

namespace {

constexpr DWORD kWidePathChars = 32768;

bool MakeDirectory(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::string StateLogDirectory() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || local[0] == L'\0') return "";
    std::wstring directory = local;
    if (directory.back() != L'\\' && directory.back() != L'/') directory += L'\\';
    directory += L"zelvar";
    if (!MakeDirectory(directory)) return "";
    return Utf8FromWide(directory.c_str()) + '\\';
}

const char* StateDirectorySetting() {
    return "LOCALAPPDATA";
}

std::string ResolvedPath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path.c_str());
    if (wide.empty()) return "";
    std::wstring full(kWidePathChars, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), kWidePathChars, full.data(), nullptr);
    if (length == 0 || length >= kWidePathChars) return "";
    full.resize(length);
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    if (GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) return "";
    return Utf8FromWide(full.c_str());
}

// The access bits of a directory say nothing on Windows: a file is made and removed.
bool IsWritableDirectory(const std::string& path) {
    std::wstring probe = WideFromUtf8(path.c_str());
    if (probe.empty()) return false;
    if (probe.back() != L'\\' && probe.back() != L'/') probe += L'\\';
    probe += L"zelvar-write-check.tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(file);
    return true;
}

// ZELVAR_UNINSTALLER: the file name the installer gives its uninstaller, set by the build.
bool HoldsUninstaller(const std::string& directory) {
    if (directory.empty()) return false;
    const char last = directory.back();
    const std::string separator = last == '\\' || last == '/' ? "" : "\\";
    return PathExists((directory + separator + ZELVAR_UNINSTALLER).c_str());
}

}  // namespace zelvar
