// CRC-32 (the common reflected 0xEDB88320 one) over bytes: how the simulated receiver
// reports the SFLD it holds, so that tests can compare it with the SFLD they sent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvar::sim {

uint32_t SfldCrc32(const uint8_t* bytes, size_t size);

}  // namespace zelvar::sim
