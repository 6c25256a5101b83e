#include <windows.h>

#include <cstdio>
#include <string>

#include "base/wide_text.h"
#include "image/private_directory.h"

namespace zelvar {

namespace {

constexpr DWORD kTempPathChars = MAX_PATH + 1;  // GetTempPathW's largest answer

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// "zelvar\" in the user's temporary directory, made when missing; empty when it cannot
// be had or is not a real directory.
std::wstring PrivateDirectory() {
    wchar_t temp[kTempPathChars];
    const DWORD length = GetTempPathW(kTempPathChars, temp);
    if (length == 0 || length >= kTempPathChars) return {};
    std::wstring path(temp, length);
    if (path.back() != L'\\') path += L'\\';
    path += L"zelvar";
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return {};
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        IsLink(attributes)) {
        return {};
    }
    return path + L'\\';
}

}  // namespace

bool GetPrivateDirectory(char* out, std::size_t size) {
    if (size == 0) return false;
    out[0] = '\0';
    const std::wstring directory = PrivateDirectory();
    const std::string path = Utf8FromWide(directory.c_str());
    if (path.empty() || path.size() >= size) return false;
    std::snprintf(out, size, "%s", path.c_str());
    return true;
}

FILE* CreatePrivateFile(const char* name) {
    const std::wstring directory = PrivateDirectory();
    const std::wstring leaf = WideFromUtf8(name);
    if (directory.empty() || leaf.empty()) return nullptr;
    const std::wstring path = directory + leaf;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && IsLink(attributes)) return nullptr;
    return _wfopen(path.c_str(), L"wb");
}

void RemovePrivateFiles(bool (*isStale)(const char* name)) {
    const std::wstring directory = PrivateDirectory();
    if (directory.empty()) return;
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((directory + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
            continue;
        }
        if (isStale(Utf8FromWide(entry.cFileName).c_str())) {
            DeleteFileW((directory + entry.cFileName).c_str());
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

bool HasProcessEnded(long pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such id
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

}  // namespace zelvar
