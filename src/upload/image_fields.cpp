#include "upload/image_fields.h"

#include <cstdio>

#include "base/message_log.h"

namespace zelvar {

void ShowImageFields(uint32_t startAddress, uint32_t entryPoint, uint32_t imageSize) {
    char text[64];
    std::snprintf(text, sizeof text, "Image Start address: 0x%08X", startAddress);
    ShowStatus(text);
    std::snprintf(text, sizeof text, "Image Entry point: 0x%08X", entryPoint);
    ShowStatus(text);
    std::snprintf(text, sizeof text, "Image Size: %lu bytes",
                  static_cast<unsigned long>(imageSize));
    ShowStatus(text);
}

}  // namespace zelvar
