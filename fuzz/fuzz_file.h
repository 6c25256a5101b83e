// A scratch file for fuzz targets: the readers open images by path, so each input is
// written to one private file before it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelvar::fuzz {

// A private directory made once per process (ends with '/').
const std::string& ScratchDirectory();

// Replaces the scratch file's contents with prefix bytes of zero and then data, and
// returns its path.
const char* WriteScratchFile(const uint8_t* data, std::size_t size, std::size_t prefix = 0);

// Ends the process with a message when a property does not hold.
void Require(bool holds, const char* what);

}  // namespace zelvar::fuzz
