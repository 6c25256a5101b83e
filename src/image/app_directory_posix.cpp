#include <unistd.h>

#include <cstring>

#include "image/app_directory.h"

namespace zelvar {

bool GetAppDirectory(char* out) {
    out[0] = '\0';
    char path[kPathBytes];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
    // A result that fills the buffer may have been cut: refuse it rather than use a
    // different, shorter path.
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof(path)) return false;
    path[length] = '\0';
    return DirectoryOfPath(path, out);
}

bool GetWorkingDirectory(char* out) {
    out[0] = '\0';
    if (getcwd(out, kPathBytes - 1) == nullptr) {
        out[0] = '\0';
        return false;
    }
    const std::size_t length = std::strlen(out);
    if (length > 0 && out[length - 1] != '/') std::strcat(out, "/");
    return true;
}

bool PathExists(const char* path) {
    return access(path, F_OK) == 0;
}

bool DirectoryOfPath(const char* path, char* out) {
    return PathUpTo(path, std::strrchr(path, '/'), out);
}

}  // namespace zelvar
