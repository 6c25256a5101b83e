// A private per-user directory for temporary files. On Linux: $XDG_RUNTIME_DIR/zelvar,
// or else /tmp/zelvar-<uid>, created with mode 0700 when missing; it must be a real
// directory (not a symbolic link) owned by this user, and it is made 0700 if it is
// looser. On Windows: "zelvar" in the user's temporary directory, not a link.
#pragma once

#include <cstddef>
#include <cstdio>

namespace zelvar {

// Writes the directory's path with its trailing separator into out (size bytes); false
// when it cannot be made safe or does not fit.
bool GetPrivateDirectory(char* out, std::size_t size);
// Creates name in the directory afresh (emptied when it exists) for writing in binary,
// never through a link; nullptr when it cannot.
FILE* CreatePrivateFile(const char* name);
// Removes each file of the directory for which isStale(name) is true.
void RemovePrivateFiles(bool (*isStale)(const char* name));

// This process's id, and whether the process with an id has ended (a process that runs,
// or that we may not look at, has not).
long CurrentProcessId();
bool HasProcessEnded(long pid);

}  // namespace zelvar
