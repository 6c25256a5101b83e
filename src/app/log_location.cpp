#include "app/log_location.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/message_log.h"
#include "image/app_directory.h"

#ifndef ZELVAR_INSTALL_BINDIR
#define ZELVAR_INSTALL_BINDIR "/usr/local/bin"
#endif

namespace zelvar {

namespace {

constexpr mode_t kPrivateDirectoryMode = 0700;

// path without its trailing '/', resolved; "" when it does not exist.
std::string Resolved(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return "";
    std::string out = real;
    free(real);
    return out;
}

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

std::string ChooseLogDirectory(const std::string& programDirectory,
                               const std::string& installedDirectory) {
    const std::string program = Resolved(programDirectory);
    const bool installed = !program.empty() && program == Resolved(installedDirectory);
    if (!program.empty() && !installed && access(program.c_str(), W_OK) == 0) {
        return programDirectory;
    }
    return StateLogDirectory();
}

std::string DefaultLogDirectory() {
    char program[kPathBytes] = {};
    GetAppDirectory(program);
    return ChooseLogDirectory(program, ZELVAR_INSTALL_BINDIR);
}

std::string OpenDefaultLogFile() {
    const std::string directory = DefaultLogDirectory();
    if (directory.empty()) return "";
    CreateLogFile(directory.c_str());
    return directory + kLogFileName;
}

std::string LogProblemText(const std::string& path) {
    if (IsLogFileOpen()) return "";
    if (path.empty()) {
        return "No log file: no directory to write it in (set HOME or XDG_STATE_HOME).";
    }
    return "Cannot write the log file " + path + "; the job runs without a log.";
}

}  // namespace zelvar
