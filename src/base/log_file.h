// The log file as the operating system holds it: opened for this process alone and
// emptied once it is ours, each write on storage before it returns.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvar {

using LogFileHandle = std::intptr_t;
constexpr LogFileHandle kNoLogFile = -1;

// Opens (creating) path without following a symbolic link, locks it against every other
// writer and empties it. kNoLogFile when it cannot be had (locked by another run, say).
LogFileHandle OpenLockedLogFile(const char* path);
// Writes all of data and puts it on storage; false with the system's error code
// (SystemErrorText has its words).
// A file system that cannot sync the file still has the bytes: that counts as written.
bool WriteLogFileDurably(LogFileHandle file, const char* data, std::size_t size, int& error);
void CloseLogFileHandle(LogFileHandle file);

}  // namespace zelvar
