// The station's own files (the units' logs, the report, the image's checksum), made and
// read in each platform's own way (station_files_posix.cpp, station_files_win32.cpp).
// Errors read "<path>: <the system's reason>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace zelvar::cli {

enum class NewFile { kCreated, kTaken, kFailed };

// Creates the empty file path unless a file of that name exists (kTaken); of two
// processes wanting the same name, only one gets it. kFailed, with error set, otherwise.
NewFile CreateNewFile(const std::string& path, std::string& error);

// dir as the directory of the units' logs, made when missing, with a separator at its
// end; "" with error set ("--log-dir DIR: reason") when it is no usable directory.
std::string UnitLogDirectoryPath(const std::string& dir, std::string& error);

// "" when a new file can be written at path: nothing of that name is a directory and
// its directory takes new files; else the error WriteWholeFile would give.
std::string CheckFileCanBeWritten(const std::string& path);

// Writes bytes to a new file in path's directory and renames it to path, so that path
// holds them whole or keeps what it held; the temporary file is gone again whatever
// happens.
bool ReplaceFileWhole(const std::string& path, const std::string& bytes, std::string& error);

// Hands the file's bytes to take in pieces of up to chunkBytes; false, with error set,
// when it cannot be read.
bool ReadFileInChunks(const std::string& path, std::size_t chunkBytes,
                      const std::function<void(const uint8_t*, std::size_t)>& take,
                      std::string& error);

// dir with a separator at its end: '/' added unless it ends in one (on Windows '\'
// counts as one too); "" stays "".
std::string DirectoryPrefix(const std::string& dir);

// The last component of path (after the last separator).
std::string FileNameOf(const std::string& path);

}  // namespace zelvar::cli
