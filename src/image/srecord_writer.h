// Writing Motorola S-record lines, for building images and test data.
#pragma once

#include <cstdint>
#include <string>

namespace zelvar {

// One record of the given type ('0'..'9') with an address of addressBytes bytes, the
// data bytes and its checksum, without a line end. Upper-case hexadecimal digits.
std::string MakeSRecordLine(char type, int addressBytes, uint32_t address, const uint8_t* data,
                            std::size_t size);

}  // namespace zelvar
