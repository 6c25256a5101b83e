#include "cli/station/file_sha256.h"

#include <algorithm>
#include <cstring>

#include "cli/station/station_files.h"

namespace zelvar::cli {

namespace {

constexpr std::array<uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::array<uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::size_t kLengthBytes = 8;  // the message length in bits, at the end of the last block

constexpr uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

uint32_t BigEndianWord(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

std::string LowerHex(const std::array<uint8_t, 32>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0f];
    }
    return hex;
}

}  // namespace

Sha256::Sha256() : m_state(kInitialState) {}

void Sha256::Compress(const uint8_t* block) {
    std::array<uint32_t, 64> w;
    for (std::size_t i = 0; i < 16; ++i) w[i] = BigEndianWord(block + 4 * i);
    for (std::size_t i = 16; i < 64; ++i) {
        uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::array<uint32_t, 8> v = m_state;  // a b c d e f g h
    for (std::size_t i = 0; i < 64; ++i) {
        uint32_t s1 = Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25);
        uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
        uint32_t t1 = v[7] + s1 + choice + kRoundConstants[i] + w[i];
        uint32_t s0 = Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22);
        uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        for (std::size_t j = 7; j > 0; --j) v[j] = v[j - 1];
        v[4] += t1;
        v[0] = t1 + s0 + majority;
    }
    for (std::size_t i = 0; i < 8; ++i) m_state[i] += v[i];
}

void Sha256::Update(const uint8_t* data, std::size_t size) {
    m_totalBytes += size;
    while (size > 0) {
        std::size_t take = std::min(size, m_block.size() - m_used);
        std::memcpy(m_block.data() + m_used, data, take);
        m_used += take;
        data += take;
        size -= take;
        if (m_used == m_block.size()) {
            Compress(m_block.data());
            m_used = 0;
        }
    }
}

std::array<uint8_t, 32> Sha256::Finish() {
    const uint64_t bits = m_totalBytes * 8;
    const uint8_t marker = 0x80;
    Update(&marker, 1);
    const uint8_t zero = 0;
    while (m_used != m_block.size() - kLengthBytes) Update(&zero, 1);
    std::array<uint8_t, kLengthBytes> length;
    for (std::size_t i = 0; i < kLengthBytes; ++i) {
        length[i] = static_cast<uint8_t>(bits >> (8 * (kLengthBytes - 1 - i)));
    }
    Update(length.data(), length.size());
    std::array<uint8_t, 32> digest;
    for (std::size_t i = 0; i < m_state.size(); ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (24 - 8 * j));
        }
    }
    return digest;
}

std::string FileSha256(const std::string& path, std::string& error) {
    Sha256 hash;
    const bool read = ReadFileInChunks(
        path, kSha256ChunkBytes,
        [&hash](const uint8_t* data, std::size_t size) { hash.Update(data, size); }, error);
    if (!read) return {};
    return LowerHex(hash.Finish());
}

}  // namespace zelvar::cli
