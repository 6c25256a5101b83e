// Composite firmware images for the tests and the benchmarks, made of seeded sections by
// the image layer's builder, and what of an image ends up in a receiver's flash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/composite_builder.h"
#include "support/test_env.h"
#include "support/test_patterns.h"

namespace zelvar::test {

// size bytes of a seeded run.
struct SeededBytes {
    uint32_t seed = 0;
    std::size_t size = 0;
};

// An SFLD section: seeded bytes as S-record text, loaded and started at address.
struct SfldRecipe {
    uint32_t address = 0;
    SeededBytes bytes;
};

// The SFLD of the small test images: 3,000 bytes at 0x00020000.
inline constexpr SfldRecipe kTestSfld{0x00020000, {7, 3000}};

using ByteRun = std::vector<uint8_t> (*)(uint32_t seed, std::size_t size);

// What a composite image is made of; every section's bytes come from fill.
struct ImageRecipe {
    SeededBytes pfld;
    SeededBytes fw;
    std::optional<SfldRecipe> sfld = kTestSfld;  // none: no SFLD section
    ByteRun fill = Pattern;
};

CompositeImageParts PartsOf(const ImageRecipe& recipe);
// The image of parts; empty (and why on standard error) when they make none.
std::vector<uint8_t> BuildImage(const CompositeImageParts& parts);
std::vector<uint8_t> ImageOf(const ImageRecipe& recipe);
// Builds the image into dir/name and returns its path (empty on failure, and why on
// standard error).
std::string WriteImage(const TempDir& dir, const std::string& name,
                       const CompositeImageParts& parts);

// The command-line tests' images: PFLD sections from seed, FW sections from seed + 1000,
// the test SFLD when withSfld.
CompositeImageParts MakeParts(uint32_t seed, std::size_t pfldBytes, std::size_t fwBytes,
                              bool withSfld = true);

// The small images of the reliability and GUI tests: the PFLD section does not depend on
// the seed (so the receiver's PFLD stays up to date), the FW section comes from it.
constexpr std::size_t kTestPfldBytes = 0x2000;
constexpr std::size_t kTestFwBytes = 0x4000;
std::vector<uint8_t> MakeTestImage(uint32_t seed, std::size_t fwBytes = kTestFwBytes);

// The upload tests' images: sections of SectionBytes, a PFLD of 0x1800 bytes and, when
// withSfld, the SFLD of SfldText().
std::vector<uint8_t> Composite(uint32_t pfldSeed, uint32_t fwSeed, std::size_t fwBytes,
                               bool withSfld);
// That SFLD as S-record text: 5,484 bytes at 0x00201000, where the real one runs.
std::string SfldText();

// What programming puts into flash: the image from its start up to and with the FW check
// word at the FW end address; empty when the image has no such word.
std::vector<uint8_t> ProgrammedPart(const std::vector<uint8_t>& image);
// The receiver's flash begins with the image's programmed part.
bool FlashHolds(const std::vector<uint8_t>& flash, const std::vector<uint8_t>& image);

}  // namespace zelvar::test
