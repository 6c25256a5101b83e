// Where the log file "Zelvar.txt" goes when no path is given for it: beside the program
// when that directory can be written and is not the directory the program was installed
// into (a copied, portable program keeps its log with it; on Windows an installed folder,
// wherever it is, holds the installer's uninstaller), else in the user's state directory,
// $XDG_STATE_HOME/zelvar/ (~/.local/state/zelvar/ when that is unset), which is made with
// mode 0700. On Windows the state directory is %LOCALAPPDATA%\zelvar\.
#pragma once

#include <string>

namespace zelvar {

// The state directory for the log, with its trailing '/', created when missing; "" when
// there is no home to put it in or it cannot be made.
std::string StateLogDirectory();
// What to set when StateLogDirectory has no home to use.
const char* StateDirectorySetting();
// path resolved to its real, absolute form; "" when it does not exist.
std::string ResolvedPath(const std::string& path);
// This user may create files in the directory.
bool IsWritableDirectory(const std::string& path);
// An installer's uninstaller sits in the directory (a resolved path): the programs there
// were installed, not copied. Always false on Linux, whose packages go to a directory known
// when the program is built.
bool HoldsUninstaller(const std::string& directory);

// The directory the log goes into for a program in programDirectory (with its trailing
// '/'); installedDirectory is where an installed copy lives. "" when there is none.
std::string ChooseLogDirectory(const std::string& programDirectory,
                               const std::string& installedDirectory);

// The directory ChooseLogDirectory picks for the running program (with its trailing
// '/'); "" when there is none.
std::string DefaultLogDirectory();

// Opens "Zelvar.txt" where ChooseLogDirectory says for the running program. Returns the
// path it tried, or "" when there was no directory to try; IsLogFileOpen tells whether
// it worked, and the caller tells the user when it did not.
std::string OpenDefaultLogFile();

// What to tell the user when the log tried at path (empty: none could be tried) is not
// open; "" when it is.
std::string LogProblemText(const std::string& path);

}  // namespace zelvar
