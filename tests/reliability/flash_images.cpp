#include "flash_images.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "image/composite_builder.h"
#include "support/test_patterns.h"

namespace zelvar::test {

namespace {

constexpr uint32_t kSfldAddress = 0x00020000;
constexpr std::size_t kSfldBytes = 3000;
constexpr std::size_t kFwEndOffset = 0x4024;
constexpr uint32_t kPfldSeed = 77;
constexpr uint32_t kSfldSeed = 7;

}  // namespace

std::vector<uint8_t> MakeTestImage(uint32_t seed, std::size_t fwBytes) {
    CompositeImageParts parts;
    parts.pfld = Pattern(kPfldSeed, kTestPfldBytes);
    parts.fw = Pattern(seed, fwBytes);
    parts.sfld = MakeSRecordText(kSfldAddress, Pattern(kSfldSeed, kSfldBytes), kSfldAddress);
    std::vector<uint8_t> image;
    std::string error;
    if (!BuildCompositeImage(parts, image, error)) ADD_FAILURE() << "image: " << error;
    return image;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> ProgrammedPart(const std::vector<uint8_t>& image) {
    if (image.size() < kFwEndOffset + 4) return {};
    const std::size_t end = WordAt(image, kFwEndOffset) - kFlashBase + 4;
    if (end > image.size()) return {};
    return {image.begin(), image.begin() + static_cast<std::ptrdiff_t>(end)};
}

bool FlashHolds(const std::vector<uint8_t>& flash, const std::vector<uint8_t>& image) {
    const std::vector<uint8_t> part = ProgrammedPart(image);
    return !part.empty() && flash.size() >= part.size() &&
           std::equal(part.begin(), part.end(), flash.begin());
}

std::unique_ptr<sim::CSimReceiver> StartSim(sim::SimOptions options, const std::string& factory) {
    options.flashIn = factory;
    auto receiver = std::make_unique<sim::CSimReceiver>(options);
    std::string error;
    if (!receiver->Start(error)) {
        ADD_FAILURE() << "simulated receiver: " << error;
        return nullptr;
    }
    return receiver;
}

}  // namespace zelvar::test
