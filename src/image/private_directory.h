// A private per-user directory for temporary files: $XDG_RUNTIME_DIR/zelvar, or else
// /tmp/zelvar-<uid>. Created with mode 0700 when missing; it must be a real directory
// (not a symbolic link) owned by this user, and it is made 0700 if it is looser.
#pragma once

#include <cstddef>

namespace zelvar {

// Writes the directory's path with its trailing '/' into out (size bytes) and returns an
// open descriptor of it (the caller closes it), or -1 when it cannot be made safe.
int OpenPrivateDirectory(char* out, std::size_t size);

}  // namespace zelvar
