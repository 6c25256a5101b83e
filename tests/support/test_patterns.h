// Deterministic test contents: seeded byte runs and little-endian words of images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelvar::test {

// size pseudo-random bytes, the same for the same seed.
std::vector<uint8_t> Pattern(uint32_t seed, std::size_t size);
// Another run of size pseudo-random bytes from seed (a xorshift generator): the one the
// upload tests and the benchmarks fill their image sections with.
std::vector<uint8_t> SectionBytes(uint32_t seed, std::size_t size);

// The little-endian word at offset.
uint32_t WordAt(const std::vector<uint8_t>& bytes, std::size_t offset);

}  // namespace zelvar::test
