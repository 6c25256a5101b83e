#include "image/private_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zelvar {

namespace {

constexpr mode_t kPrivateMode = 0700;

// The directory's path, without a trailing '/' (a trailing '/' would make the open
// follow a symbolic link); false when it does not fit.
bool PrivateDirectoryPath(char* out, std::size_t size) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    int written = 0;
    if (runtime != nullptr && runtime[0] == '/') {
        int length = static_cast<int>(std::strlen(runtime));
        while (length > 1 && runtime[length - 1] == '/') --length;
        written = std::snprintf(out, size, "%.*s/zelvar", length, runtime);
    } else {
        written = std::snprintf(out, size, "/tmp/zelvar-%u", static_cast<unsigned>(getuid()));
    }
    return written > 0 && static_cast<std::size_t>(written) < size;
}

// True when fd is a directory that belongs to us; a looser mode is tightened.
bool IsOurs(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0) return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return false;
    if ((info.st_mode & 077) != 0 && fchmod(fd, kPrivateMode) != 0) return false;
    return true;
}

}  // namespace

int OpenPrivateDirectory(char* out, std::size_t size) {
    if (size == 0) return -1;
    out[0] = '\0';
    char path[512];
    if (!PrivateDirectoryPath(path, sizeof(path))) return -1;
    if (mkdir(path, kPrivateMode) != 0 && errno != EEXIST) return -1;
    // O_NOFOLLOW refuses a symbolic link planted in place of the directory.
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    const int written = std::snprintf(out, size, "%s/", path);
    if (!IsOurs(fd) || written < 0 || static_cast<std::size_t>(written) >= size) {
        close(fd);
        out[0] = '\0';
        return -1;
    }
    return fd;
}

}  // namespace zelvar
