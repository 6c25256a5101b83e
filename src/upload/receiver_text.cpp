#include "upload/receiver_text.h"

namespace zelvar {

std::size_t Latin1ToUtf8(const char* text, std::size_t n, char* out, std::size_t size) {
    if (size == 0) return 0;
    std::size_t used = 0;
    for (std::size_t i = 0; i < n && text[i] != '\0'; ++i) {
        const auto c = static_cast<uint8_t>(text[i]);
        const std::size_t width = c < 0x80 ? 1 : 2;
        if (used + width >= size) break;
        if (c < 0x20 || c == 0x7F) {
            out[used++] = '.';
        } else if (c < 0x80) {
            out[used++] = static_cast<char>(c);
        } else {
            out[used++] = static_cast<char>(0xC0 | (c >> 6));
            out[used++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out[used] = '\0';
    return used;
}

}  // namespace zelvar
