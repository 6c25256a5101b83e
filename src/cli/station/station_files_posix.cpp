#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/station/station_files.h"

namespace zelvar::cli {

namespace {

constexpr mode_t kLogDirMode = 0755;
constexpr mode_t kNewFileMode = 0644;  // the units' logs and the report

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SystemError(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

}  // namespace

NewFile CreateNewFile(const std::string& path, std::string& error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (fd >= 0) {
        close(fd);
        return NewFile::kCreated;
    }
    if (errno == EEXIST) return NewFile::kTaken;
    error = SystemError(path);
    return NewFile::kFailed;
}

std::string UnitLogDirectoryPath(const std::string& dir, std::string& error) {
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0 && mkdir(dir.c_str(), kLogDirMode) != 0) {
        error = "--log-dir " + SystemError(dir);
        return "";
    }
    if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "--log-dir " + dir + ": not a directory";
        return "";
    }
    return DirectoryPrefix(dir);
}

std::string CheckFileCanBeWritten(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return path + ": " + std::strerror(EISDIR);
    }
    if (access(DirectoryOf(path).c_str(), W_OK | X_OK) != 0) return SystemError(path);
    return {};
}

bool ReplaceFileWhole(const std::string& path, const std::string& bytes, std::string& error) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = SystemError(path);
        return false;
    }
    FILE* file = fdopen(fd, "w");
    if (file == nullptr) close(fd);
    bool written = file != nullptr && fchmod(fd, kNewFileMode) == 0 &&
                   std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                   std::fflush(file) == 0 && fsync(fd) == 0;
    if (!written) error = SystemError(path);
    if (file != nullptr && std::fclose(file) != 0 && written) {
        written = false;
        error = SystemError(path);
    }
    if (written && rename(temporary.c_str(), path.c_str()) != 0) {
        written = false;
        error = SystemError(path);
    }
    if (!written) unlink(temporary.c_str());
    return written;
}

bool ReadFileInChunks(const std::string& path, std::size_t chunkBytes,
                      const std::function<void(const uint8_t*, std::size_t)>& take,
                      std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = SystemError(path);
        return false;
    }
    std::vector<uint8_t> chunk(chunkBytes);
    for (;;) {
        const ssize_t n = read(fd, chunk.data(), chunk.size());
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = SystemError(path);
            close(fd);
            return false;
        }
        take(chunk.data(), static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

std::string DirectoryPrefix(const std::string& dir) {
    return dir.empty() || dir.back() == '/' ? dir : dir + '/';
}

std::string FileNameOf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

}  // namespace zelvar::cli
