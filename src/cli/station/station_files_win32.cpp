// Paths are UTF-8 in the program and UTF-16 in the system's calls; '/' and '\' both
// separate their components.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/system_error.h"
#include "base/wide_text.h"
#include "cli/station/station_files.h"

namespace zelvar::cli {

namespace {

constexpr const char* kSeparators = "/\\";
constexpr unsigned kTemporaryNameAttempts = 100;  // names tried beside the report

std::string SystemError(const std::string& path, DWORD error = GetLastError()) {
    return path + ": " + SystemErrorText(static_cast<int>(error));
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, MAXDWORD));
        if (!WriteFile(file, bytes.data() + done, size, &written, nullptr)) return false;
        done += written;
    }
    return true;
}

// A name beside path that no other process picks at the same time.
std::wstring TemporaryBeside(const std::string& path, unsigned attempt) {
    return WideFromUtf8(
        (path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt))
            .c_str());
}

}  // namespace

NewFile CreateNewFile(const std::string& path, std::string& error) {
    const std::wstring wide = WideFromUtf8(path.c_str());
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return NewFile::kCreated;
    }
    const DWORD reason = GetLastError();
    if (reason == ERROR_FILE_EXISTS || reason == ERROR_ALREADY_EXISTS) return NewFile::kTaken;
    error = SystemError(path, reason);
    return NewFile::kFailed;
}

std::string UnitLogDirectoryPath(const std::string& dir, std::string& error) {
    const std::wstring wide = WideFromUtf8(dir.c_str());
    if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = "--log-dir " + SystemError(dir);
        return "";
    }
    if (!IsDirectory(wide)) {
        error = "--log-dir " + dir + ": not a directory";
        return "";
    }
    return DirectoryPrefix(dir);
}

std::string CheckFileCanBeWritten(const std::string& path) {
    if (IsDirectory(WideFromUtf8(path.c_str()))) return path + ": Is a directory";
    if (!IsDirectory(WideFromUtf8(DirectoryOf(path).c_str()))) {
        return SystemError(path, ERROR_PATH_NOT_FOUND);
    }
    return {};
}

bool ReplaceFileWhole(const std::string& path, const std::string& bytes, std::string& error) {
    if (IsDirectory(WideFromUtf8(path.c_str()))) {
        error = CheckFileCanBeWritten(path);
        return false;
    }
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE && attempt < kTemporaryNameAttempts;
         ++attempt) {
        temporary = TemporaryBeside(path, attempt);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemError(path);
        return false;
    }
    bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
    if (!written) error = SystemError(path);
    if (!CloseHandle(file) && written) {
        written = false;
        error = SystemError(path);
    }
    const std::wstring target = WideFromUtf8(path.c_str());
    if (written && !MoveFileExW(temporary.c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        written = false;
        error = SystemError(path);
    }
    if (!written) DeleteFileW(temporary.c_str());
    return written;
}

bool ReadFileInChunks(const std::string& path, std::size_t chunkBytes,
                      const std::function<void(const uint8_t*, std::size_t)>& take,
                      std::string& error) {
    const std::wstring wide = WideFromUtf8(path.c_str());
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemError(path);
        return false;
    }
    std::vector<uint8_t> chunk(chunkBytes);
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr)) {
            error = SystemError(path);
            CloseHandle(file);
            return false;
        }
        if (n == 0) break;
        take(chunk.data(), n);
    }
    CloseHandle(file);
    return true;
}

std::string DirectoryPrefix(const std::string& dir) {
    if (dir.empty() || dir.find_last_of(kSeparators) == dir.size() - 1) return dir;
    return dir + '\\';
}

std::string FileNameOf(const std::string& path) {
    return path.substr(path.find_last_of(kSeparators) + 1);
}

}  // namespace zelvar::cli
