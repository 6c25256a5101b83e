#include "image_recipes.h"

#include <algorithm>
#include <cstdio>

namespace zelvar::test {

namespace {

constexpr uint32_t kFwSeedOffset = 1000;  // the command-line images' FW seed over their PFLD's
constexpr uint32_t kTestPfldSeed = 77;
constexpr std::size_t kUploadPfldBytes = 0x1800;
constexpr SfldRecipe kUploadSfld{0x00201000, {99, 5484}};
constexpr std::size_t kFwEndWordOffset = kFwBase - kFlashBase + 0x24;
constexpr std::size_t kCheckWordBytes = 4;

std::string SfldTextOf(const SfldRecipe& sfld, ByteRun fill) {
    return MakeSRecordText(sfld.address, fill(sfld.bytes.seed, sfld.bytes.size), sfld.address);
}

}  // namespace

CompositeImageParts PartsOf(const ImageRecipe& recipe) {
    CompositeImageParts parts;
    parts.pfld = recipe.fill(recipe.pfld.seed, recipe.pfld.size);
    parts.fw = recipe.fill(recipe.fw.seed, recipe.fw.size);
    if (recipe.sfld) parts.sfld = SfldTextOf(*recipe.sfld, recipe.fill);
    return parts;
}

std::vector<uint8_t> BuildImage(const CompositeImageParts& parts) {
    std::vector<uint8_t> image;
    std::string error;
    if (!BuildCompositeImage(parts, image, error)) {
        std::fprintf(stderr, "cannot build the test image: %s\n", error.c_str());
        return {};
    }
    return image;
}

std::vector<uint8_t> ImageOf(const ImageRecipe& recipe) {
    return BuildImage(PartsOf(recipe));
}

std::string WriteImage(const TempDir& dir, const std::string& name,
                       const CompositeImageParts& parts) {
    const std::string path = dir.File(name);
    std::string error;
    if (!WriteCompositeImage(parts, path.c_str(), error)) {
        std::fprintf(stderr, "cannot build %s: %s\n", name.c_str(), error.c_str());
        return "";
    }
    return path;
}

CompositeImageParts MakeParts(uint32_t seed, std::size_t pfldBytes, std::size_t fwBytes,
                              bool withSfld) {
    ImageRecipe recipe{{seed, pfldBytes}, {seed + kFwSeedOffset, fwBytes}};
    if (!withSfld) recipe.sfld.reset();
    return PartsOf(recipe);
}

std::vector<uint8_t> MakeTestImage(uint32_t seed, std::size_t fwBytes) {
    return ImageOf({{kTestPfldSeed, kTestPfldBytes}, {seed, fwBytes}});
}

std::vector<uint8_t> Composite(uint32_t pfldSeed, uint32_t fwSeed, std::size_t fwBytes,
                               bool withSfld) {
    ImageRecipe recipe{{pfldSeed, kUploadPfldBytes}, {fwSeed, fwBytes}, kUploadSfld, SectionBytes};
    if (!withSfld) recipe.sfld.reset();
    return ImageOf(recipe);
}

std::string SfldText() {
    return SfldTextOf(kUploadSfld, SectionBytes);
}

std::vector<uint8_t> ProgrammedPart(const std::vector<uint8_t>& image) {
    if (image.size() < kFwEndWordOffset + kCheckWordBytes) return {};
    const std::size_t end = WordAt(image, kFwEndWordOffset) - kFlashBase + kCheckWordBytes;
    if (end > image.size()) return {};
    return {image.begin(), image.begin() + static_cast<std::ptrdiff_t>(end)};
}

bool FlashHolds(const std::vector<uint8_t>& flash, const std::vector<uint8_t>& image) {
    const std::vector<uint8_t> part = ProgrammedPart(image);
    return !part.empty() && flash.size() >= part.size() &&
           std::equal(part.begin(), part.end(), flash.begin());
}

}  // namespace zelvar::test
