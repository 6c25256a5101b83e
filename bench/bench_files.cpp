#include "bench/bench_files.h"

#include <stdlib.h>

#include <filesystem>

namespace zelvar::bench {

std::vector<uint8_t> PatternBytes(uint32_t seed, std::size_t size) {
    std::vector<uint8_t> out(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return out;
}

std::string MakeWorkDirectory(const std::string& what) {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/zelvar-" + what + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return "";
    return pattern + "/";
}

}  // namespace zelvar::bench
