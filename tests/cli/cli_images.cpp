#include "cli_images.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/test_patterns.h"

namespace zelvar::test {

namespace {

constexpr uint32_t kSfldAddress = 0x00020000;
constexpr std::size_t kSfldBytes = 3000;
constexpr std::size_t kFwEndOffset = 0x4024;

}  // namespace

CompositeImageParts MakeParts(uint32_t seed, std::size_t pfldBytes, std::size_t fwBytes,
                              bool withSfld) {
    CompositeImageParts parts;
    parts.pfld = Pattern(seed, pfldBytes);
    parts.fw = Pattern(seed + 1000, fwBytes);
    if (withSfld) parts.sfld = MakeSRecordText(kSfldAddress, Pattern(7, kSfldBytes), kSfldAddress);
    return parts;
}

std::string WriteImage(const TempDir& dir, const std::string& name,
                       const CompositeImageParts& parts) {
    const std::string path = dir.File(name);
    std::string error;
    if (!WriteCompositeImage(parts, path.c_str(), error)) {
        ADD_FAILURE() << "cannot build " << name << ": " << error;
        return "";
    }
    return path;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> FlashedPart(const std::vector<uint8_t>& image) {
    if (image.size() < kFwEndOffset + 4) return {};
    const std::size_t end = WordAt(image, kFwEndOffset) - kFlashBase;
    return {image.begin(),
            image.begin() + static_cast<std::ptrdiff_t>(std::min(end, image.size()))};
}

std::unique_ptr<sim::CSimReceiver> StartReceiver(const TempDir& dir,
                                                 const std::string& factoryImage,
                                                 const sim::SimFaults& faults) {
    sim::SimOptions options;
    options.linkPath = dir.File("gps");
    options.flashIn = factoryImage;
    options.faults = faults;
    auto receiver = std::make_unique<sim::CSimReceiver>(options);
    std::string error;
    if (!receiver->Start(error)) {
        ADD_FAILURE() << "simulated receiver: " << error;
        return nullptr;
    }
    return receiver;
}

}  // namespace zelvar::test
