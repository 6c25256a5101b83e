// Opening image files for reading. Only regular files are images: a FIFO would block
// the open (or the reads) for ever, a terminal device would block the reads, and a
// directory has no bytes to read.
#pragma once

#include <cstdint>
#include <cstdio>

namespace zelvar {

// fopen for reading ("r" or "rb") that refuses anything but a regular file, without
// blocking on the way. nullptr when the path names no readable regular file.
FILE* OpenImageFile(const char* path, const char* mode);

// fseek and ftell with 64-bit offsets, for images past 2 GiB on every system.
bool SeekImageFile(FILE* file, int64_t offset, int whence);
int64_t TellImageFile(FILE* file);

// Reads one little-endian 32-bit word (words inside image files are little-endian);
// false when the file ends first.
bool ReadWordLE(FILE* file, uint32_t& value);

}  // namespace zelvar
