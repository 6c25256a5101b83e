// Fuzzes the SFLD section extraction. The input follows 0x4020 zero bytes, so its first
// words are the FW start and end address words. Properties: the extraction never fails
// to stop, and when it reports a section, the temporary file holds exactly the text
// between the FW check word and the section's own check word, whose XOR matches.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_file.h"
#include "image/composite_builder.h"
#include "image/firmware_image.h"
#include "image/sfld_source.h"

using namespace zelvar;
using fuzz::Require;

namespace {

constexpr std::size_t kHeaderOffset = 0x4020;

uint32_t WordAt(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

std::string ReadWhole(const char* path) {
    std::string text;
    FILE* file = std::fopen(path, "rb");
    Require(file != nullptr, "the reported temporary file is missing");
    char block[4096];
    std::size_t n = 0;
    while ((n = std::fread(block, 1, sizeof(block), file)) > 0) text.append(block, n);
    std::fclose(file);
    return text;
}

void CheckSection(const uint8_t* data, std::size_t size) {
    Require(size >= 8, "a section without header words");
    const int64_t fileLength = static_cast<int64_t>(kHeaderOffset + size);
    const int64_t start = static_cast<int64_t>(WordAt(data + 4)) - 0x10000000 + 4;
    Require(WordAt(data) == 0x10004000, "wrong FW start word accepted");
    Require(start >= 0 && start + 4 <= fileLength, "section outside the file");
    const int64_t textBytes = fileLength - start - 4;
    std::string expected(static_cast<std::size_t>(textBytes), '\0');
    for (int64_t i = 0; i < textBytes; ++i) {
        const int64_t offset = start + i;
        expected[static_cast<std::size_t>(i)] =
            offset < static_cast<int64_t>(kHeaderOffset)
                ? '\0'
                : static_cast<char>(data[offset - static_cast<int64_t>(kHeaderOffset)]);
    }
    char tempPath[512];
    Require(GetSfldTempPath(tempPath, sizeof(tempPath)), "temporary path");
    Require(ReadWhole(tempPath) == expected, "temporary file differs from the section text");
    const uint32_t check = WordAt(data + (size - 4));
    Require(XorWordsLE(reinterpret_cast<const uint8_t*>(expected.data()), expected.size()) == check,
            "check word mismatch accepted");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("XDG_RUNTIME_DIR", fuzz::ScratchDirectory().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = fuzz::WriteScratchFile(data, size, kHeaderOffset);
    if (ExtractSfldSection(path)) CheckSection(data, size);
    // The whole path: extraction, then opening and scanning whichever SFLD was found.
    LoadSfld(path);
    g_sfldReader.Close();
    return 0;
}
