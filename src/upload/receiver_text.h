// Texts that the receiver sends are 8-bit (Latin-1); the message log takes UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvar {

// Converts n bytes of Latin-1 text into zero-terminated UTF-8 in out (size bytes),
// stopping at a zero byte or when the next character would not fit. Control bytes
// (below 0x20, and 0x7F) become '.', so a received byte never breaks a log line.
// Returns the UTF-8 length.
std::size_t Latin1ToUtf8(const char* text, std::size_t n, char* out, std::size_t size);

}  // namespace zelvar
