// What the benchmarks share: pseudo-random section contents and a private work directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvar::bench {

// size bytes of a xorshift run from seed: the same seed gives the same bytes.
std::vector<uint8_t> PatternBytes(uint32_t seed, std::size_t size);
// A new directory under /dev/shm (so syncing a log costs no disk time), else /tmp,
// named after what; its path ends in "/". Empty when it cannot be made.
std::string MakeWorkDirectory(const std::string& what);

}  // namespace zelvar::bench
