#include "base/shared_state.h"

#include <cstring>

namespace zelvar {

std::atomic<bool> g_uploadBusy{false};
CSharedText<kPortNameChars> g_portName{"GPS1:"};
std::atomic<int> g_terminalMode{0};
std::atomic<bool> g_jobCancel{false};

std::size_t Utf8Prefix(const char* text, std::size_t limit) {
    if (text == nullptr) return 0;
    std::size_t n = strnlen(text, limit + 1);
    if (n <= limit) return n;
    n = limit;
    // Step back over continuation bytes so the cut falls between two characters.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

}  // namespace zelvar
