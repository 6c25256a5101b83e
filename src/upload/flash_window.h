// The bytes an image programs into one stretch of flash, gathered from its frames, and
// which of them it programs at all.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

namespace zelvar {

template <uint32_t Base, uint32_t Size>
struct FlashWindow {
    std::array<uint8_t, Size> bytes{};
    std::bitset<Size> present;

    // Keeps those of the n bytes from address that fall inside the window.
    void Take(uint32_t address, const uint8_t* data, uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) {
            const uint64_t at = static_cast<uint64_t>(address) + i;
            if (at < Base || at >= uint64_t{Base} + Size) continue;
            bytes[at - Base] = data[i];
            present.set(at - Base);
        }
    }
    // Every byte of offset .. offset + n - 1 (from Base) is present.
    bool Covers(uint32_t offset, uint32_t n) const {
        for (uint64_t i = offset; i < uint64_t{offset} + n; ++i) {
            if (i >= Size || !present.test(i)) return false;
        }
        return true;
    }
    // The little-endian word at offset; Covers(offset, 4) tells whether it was programmed.
    uint32_t Word(uint32_t offset) const {
        return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
               (static_cast<uint32_t>(bytes[offset + 3]) << 24);
    }
};

}  // namespace zelvar
