// The three status lines that describe an image: start address, entry point and size.
#pragma once

#include <cstdint>

namespace zelvar {

void ShowImageFields(uint32_t startAddress, uint32_t entryPoint, uint32_t imageSize);

}  // namespace zelvar
