#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/private_directory.h"

namespace zelvar {

namespace {

constexpr mode_t kPrivateMode = 0700;
constexpr std::size_t kDirectoryBytes = 512;

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

// An open descriptor of the directory (the caller closes it), its path with a trailing
// '/' in out; -1 when it cannot be made safe.
int OpenPrivateDirectory(char* out, std::size_t size) {
    if (size == 0) return -1;
    out[0] = '\0';
    char path[kDirectoryBytes];
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

}  // namespace

bool GetPrivateDirectory(char* out, std::size_t size) {
    const int fd = OpenPrivateDirectory(out, size);
    if (fd < 0) return false;
    close(fd);
    return true;
}

FILE* CreatePrivateFile(const char* name) {
    char directory[kDirectoryBytes];
    const int dirFd = OpenPrivateDirectory(directory, sizeof(directory));
    if (dirFd < 0) return nullptr;
    const int fd = openat(dirFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    close(dirFd);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
    return file;
}

void RemovePrivateFiles(bool (*isStale)(const char* name)) {
    char directory[kDirectoryBytes];
    const int dirFd = OpenPrivateDirectory(directory, sizeof(directory));
    if (dirFd < 0) return;
    const int listFd = dup(dirFd);
    DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
    if (dir == nullptr) {
        if (listFd >= 0) close(listFd);
        close(dirFd);
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        if (isStale(entry->d_name)) unlinkat(dirFd, entry->d_name, 0);
    }
    closedir(dir);
    close(dirFd);
}

long CurrentProcessId() {
    return static_cast<long>(getpid());
}

bool HasProcessEnded(long pid) {
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace zelvar
