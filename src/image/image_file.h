// Opening image files for reading. Only regular files are images: a FIFO would block
// the open (or the reads) for ever, a terminal device would block the reads, and a
// directory has no bytes to read.
#pragma once

#include <cstdio>

namespace zelvar {

// fopen for reading ("r" or "rb") that refuses anything but a regular file, without
// blocking on the way. nullptr when the path names no readable regular file.
FILE* OpenImageFile(const char* path, const char* mode);

}  // namespace zelvar
