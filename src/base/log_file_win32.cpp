#include <windows.h>

#include "base/log_file.h"
#include "base/wide_text.h"

namespace zelvar {

namespace {

HANDLE AsHandle(LogFileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

// Locks the whole file (and beyond its end) for this process, without waiting.
bool LockWholeFile(HANDLE file) {
    OVERLAPPED at{};
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                      MAXDWORD, &at) != 0;
}

bool IsSymbolicLink(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

LogFileHandle OpenLockedLogFile(const char* path) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty() || IsSymbolicLink(wide.c_str())) return kNoLogFile;
    // Others may read the log while it is written, but not write it.
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kNoLogFile;
    if (!LockWholeFile(file) || SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 ||
        !SetEndOfFile(file)) {
        CloseHandle(file);
        return kNoLogFile;
    }
    return reinterpret_cast<LogFileHandle>(file);
}

bool WriteLogFileDurably(LogFileHandle file, const char* data, std::size_t size, int& error) {
    HANDLE handle = AsHandle(file);
    while (size > 0) {
        const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) {
            error = static_cast<int>(GetLastError());
            return false;
        }
        data += written;
        size -= written;
    }
    if (FlushFileBuffers(handle)) return true;
    error = static_cast<int>(GetLastError());
    return error == ERROR_INVALID_FUNCTION;  // a device that cannot flush
}

void CloseLogFileHandle(LogFileHandle file) {
    if (file != kNoLogFile) CloseHandle(AsHandle(file));
}

}  // namespace zelvar
