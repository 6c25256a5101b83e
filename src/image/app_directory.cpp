#include "image/app_directory.h"

#include <cstring>

namespace zelvar {

bool PathUpTo(const char* path, const char* separator, char* out) {
    out[0] = '\0';
    if (separator == nullptr) return false;
    const std::size_t length = static_cast<std::size_t>(separator - path) + 1;
    if (length >= kPathBytes) return false;
    std::memcpy(out, path, length);
    out[length] = '\0';
    return true;
}

}  // namespace zelvar
