#include "app/log_location.h"

#include "base/message_log.h"
#include "image/app_directory.h"

#ifndef ZELVAR_INSTALL_BINDIR
#define ZELVAR_INSTALL_BINDIR "/usr/local/bin"
#endif
#ifndef ZELVAR_PACKAGE_BINDIR
#define ZELVAR_PACKAGE_BINDIR "/usr/bin"
#endif

namespace zelvar {

std::string ChooseLogDirectory(const std::string& programDirectory,
                               const std::string& installedDirectory) {
    const std::string program = ResolvedPath(programDirectory);
    const bool installed = !program.empty() && (program == ResolvedPath(installedDirectory) ||
                                                HoldsUninstaller(program));
    if (!program.empty() && !installed && IsWritableDirectory(program)) {
        return programDirectory;
    }
    return StateLogDirectory();
}

std::string DefaultLogDirectory() {
    char program[kPathBytes] = {};
    GetAppDirectory(program);
    // Installed by `cmake --install` or by the Debian package.
    const std::string resolved = ResolvedPath(program);
    const bool packaged = !resolved.empty() && resolved == ResolvedPath(ZELVAR_PACKAGE_BINDIR);
    return ChooseLogDirectory(program, packaged ? ZELVAR_PACKAGE_BINDIR : ZELVAR_INSTALL_BINDIR);
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
        return std::string("No log file: no directory to write it in (set ") +
               StateDirectorySetting() + ").";
    }
    return "Cannot write the log file " + path + "; the job runs without a log.";
}

}  // namespace zelvar
