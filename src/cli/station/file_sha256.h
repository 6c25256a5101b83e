// SHA-256 checksums of image files, for the unit report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zelvar::cli {

constexpr std::size_t kSha256ChunkBytes = 64 * 1024;  // read from the file at a time

// The hash of a byte stream fed in pieces of any size.
class Sha256 {
  public:
    Sha256();
    void Update(const uint8_t* data, std::size_t size);
    // The digest of everything fed so far; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();

  private:
    void Compress(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_block{};
    std::size_t m_used = 0;  // bytes waiting in m_block
    uint64_t m_totalBytes = 0;
};

// The SHA-256 of the file at path as 64 lowercase hex digits, read in chunks of
// kSha256ChunkBytes. Empty, with error set to "<path>: <reason>", when it cannot be read.
std::string FileSha256(const std::string& path, std::string& error);

}  // namespace zelvar::cli
