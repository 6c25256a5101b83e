#include "image/image_file.h"

namespace zelvar {

bool ReadWordLE(FILE* file, uint32_t& value) {
    uint8_t bytes[4];
    if (std::fread(bytes, 1, sizeof(bytes), file) != sizeof(bytes)) return false;
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

}  // namespace zelvar
