#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "base/log_file.h"

namespace zelvar {

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

LogFileHandle OpenLockedLogFile(const char* path) {
    const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return kNoLogFile;
    // Other writers are locked out; the file is emptied only once it is ours.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
        close(fd);
        return kNoLogFile;
    }
    return fd;
}

bool WriteLogFileDurably(LogFileHandle file, const char* data, std::size_t size, int& error) {
    const int fd = static_cast<int>(file);
    if (WriteAll(fd, data, size) && (fdatasync(fd) == 0 || errno == EINVAL)) return true;
    error = errno;
    return false;
}

void CloseLogFileHandle(LogFileHandle file) {
    if (file != kNoLogFile) close(static_cast<int>(file));
}

}  // namespace zelvar
