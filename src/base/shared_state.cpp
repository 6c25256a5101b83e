#include "base/shared_state.h"

#include <cstring>

namespace zelvar {

std::atomic<bool> g_uploadBusy{false};
CSharedText<kPortNameChars> g_portName{"GPS1:"};
std::atomic<int> g_terminalMode{0};
std::atomic<bool> g_jobCancel{false};

std::size_t Utf8Prefix(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    std::size_t n = limit;
    // Step back over continuation bytes so the cut falls between two characters.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

std::size_t Utf8Prefix(const char* text, std::size_t limit) {
    if (text == nullptr) return 0;
    return Utf8Prefix(std::string_view(text, strnlen(text, limit + 1)), limit);
}

std::size_t Utf8CharPrefix(std::string_view text, std::size_t chars) {
    std::size_t bytes = 0;
    for (std::size_t seen = 0; bytes < text.size(); ++bytes) {
        const bool starts = (static_cast<unsigned char>(text[bytes]) & 0xC0) != 0x80;
        if (starts && seen++ == chars) break;
    }
    return bytes;
}

}  // namespace zelvar
