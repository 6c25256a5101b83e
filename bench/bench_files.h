// What the benchmarks share: their firmware images and a private work directory.
#pragma once

#include <cstdint>
#include <string>

#include "support/image_recipes.h"

namespace zelvar::bench {

// The benchmarks' images: a 12 KiB PFLD and a 16 KiB SFLD at 0x00201000 that every image
// shares, and fwBytes of FW from fwSeed; sections of test::SectionBytes runs.
test::ImageRecipe BenchImage(uint32_t fwSeed, std::size_t fwBytes);
// A new directory under /dev/shm (so syncing a log costs no disk time), else /tmp,
// named after what; its path ends in "/". Empty when it cannot be made.
std::string MakeWorkDirectory(const std::string& what);

}  // namespace zelvar::bench
