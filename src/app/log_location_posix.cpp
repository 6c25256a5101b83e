#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/log_location.h"

namespace zelvar {

namespace {

constexpr mode_t kPrivateDirectoryMode = 0700;

bool MakeDirectory(const std::string& path) {
    return mkdir(path.c_str(), kPrivateDirectoryMode) == 0 || errno == EEXIST;
}

// Makes each missing directory of path (which ends in '/') with mode 0700.
bool MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (!MakeDirectory(path.substr(0, slash))) return false;
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// path with exactly one '/' at its end.
std::string WithSlash(std::string path) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path + '/';
}

}  // namespace

std::string ResolvedPath(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return "";
    std::string out = real;
    free(real);
    return out;
}

std::string StateLogDirectory() {
    std::string base;
    const char* state = getenv("XDG_STATE_HOME");
    const char* home = getenv("HOME");
    // XDG_STATE_HOME counts only when it is an absolute path; a relative one is ignored.
    if (state != nullptr && state[0] == '/') {
        base = WithSlash(state);
    } else if (home != nullptr && home[0] == '/') {
        base = WithSlash(home) + ".local/state/";
    } else {
        return "";
    }
    const std::string directory = base + "zelvar/";
    return MakeDirectories(directory) ? directory : "";
}

const char* StateDirectorySetting() {
    return "HOME or XDG_STATE_HOME";
}

bool IsWritableDirectory(const std::string& path) {
    return access(path.c_str(), W_OK) == 0;
}

bool HoldsUninstaller(const std::string&) {
    return false;
}

}  // namespace zelvar
