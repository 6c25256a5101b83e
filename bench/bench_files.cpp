#include "bench/bench_files.h"

#include <stdlib.h>

#include <filesystem>

namespace zelvar::bench {

namespace {

constexpr std::size_t kPfldBytes = 0x3000;
constexpr uint32_t kPfldSeed = 1;
constexpr test::SfldRecipe kSfld{0x00201000, {3, 16384}};

}  // namespace

test::ImageRecipe BenchImage(uint32_t fwSeed, std::size_t fwBytes) {
    return {{kPfldSeed, kPfldBytes}, {fwSeed, fwBytes}, kSfld, test::SectionBytes};
}

std::string MakeWorkDirectory(const std::string& what) {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/zelvar-" + what + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return "";
    return pattern + "/";
}

}  // namespace zelvar::bench
