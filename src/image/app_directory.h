// The directory that holds the running program's file.
#pragma once

#include <cstddef>

namespace zelvar {

constexpr std::size_t kPathBytes = 260;  // one path with its terminator

// Writes the directory of the running executable, with its trailing '/', into out
// (kPathBytes bytes). A path that does not fit is refused: out becomes "" and the
// result is false.
bool GetAppDirectory(char* out);

// Writes the process's current directory, with its trailing '/', into out (kPathBytes
// bytes); false, with out "", when it cannot be had or does not fit.
bool GetWorkingDirectory(char* out);

// True when a file (or anything else) exists at path.
bool PathExists(const char* path);

// The directory part of a program path, up to and including its last '/' ("/prog"
// gives "/"), into out (kPathBytes bytes); false, with out "", when path has no '/' or
// does not fit.
bool DirectoryOfPath(const char* path, char* out);
// The part of path up to and including separator (a character of path, or nullptr) into
// out (kPathBytes bytes); false, with out "", when there is none or it does not fit.
bool PathUpTo(const char* path, const char* separator, char* out);

}  // namespace zelvar
