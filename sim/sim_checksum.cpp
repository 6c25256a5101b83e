#include "sim/sim_checksum.h"

namespace zelvar::sim {

uint32_t SfldCrc32(const uint8_t* bytes, size_t size) {
    constexpr uint32_t kPolynomial = 0xEDB88320u;
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (kPolynomial & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

}  // namespace zelvar::sim
