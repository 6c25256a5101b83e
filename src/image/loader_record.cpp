#include "image/loader_record.h"

#include <cstring>

namespace zelvar {

namespace {
constexpr uint16_t kAddressBytes = 4;  // the data frame's address ahead of its data
constexpr uint16_t kHeadBytes = 3;     // '[' and the length field
}  // namespace

void CLoaderRecord::PutU32BE(uint8_t* dst, uint32_t value) {
    dst[0] = static_cast<uint8_t>(value >> 24);
    dst[1] = static_cast<uint8_t>(value >> 16);
    dst[2] = static_cast<uint8_t>(value >> 8);
    dst[3] = static_cast<uint8_t>(value);
}

void CLoaderRecord::Begin() {
    m_baseAddress = 0;
    m_length = 0;
    m_dataCount = 0;
    m_first = 1;
}

void CLoaderRecord::SetAside(uint32_t address, uint16_t k, const uint16_t* units) {
    if (k == 0) return;
    if (k > kFrameMaxData) k = kFrameMaxData;
    m_remainder.address = address;
    m_remainder.count = k;
    std::memcpy(m_remainder.units, units, k * sizeof(uint16_t));
    m_remainder.present = 1;
}

bool CLoaderRecord::Append(uint32_t address, uint16_t n, const uint16_t* units) {
    if (n > kFrameMaxData) n = kFrameMaxData;
    if (m_first) {
        m_first = 0;
        m_remainder.present = 0;
        m_baseAddress = address;
        PutU32BE(&m_frame[kHeadBytes], address);
        m_length = kAddressBytes;
    } else if (m_dataCount >= kFrameMaxData || m_baseAddress + m_dataCount != address) {
        SetAside(address, n, units);
        return true;
    }
    for (uint16_t i = 0; i < n; ++i) {
        m_frame[m_length + kHeadBytes] = static_cast<uint8_t>(units[i]);
        ++m_length;
        ++m_dataCount;
        if (m_dataCount >= kFrameMaxData) {
            SetAside(address + i + 1, static_cast<uint16_t>(n - i - 1), units + i + 1);
            return true;
        }
    }
    return false;
}

void CLoaderRecord::Finish() {
    m_frame[0] = kFrameOpen;
    if (m_length & 1) m_frame[kHeadBytes + m_length++] = 0x00;
    m_frame[m_length + 5] = kFrameClose;
    m_frame[1] = static_cast<uint8_t>((m_length / 2) >> 8);
    m_frame[2] = static_cast<uint8_t>(m_length / 2);
    uint16_t checksum = 0;
    for (uint16_t i = kHeadBytes; i < m_length + kHeadBytes; i += 2) {
        checksum ^= static_cast<uint16_t>(m_frame[i] << 8 | m_frame[i + 1]);
    }
    m_frame[m_length + 3] = static_cast<uint8_t>(checksum >> 8);
    m_frame[m_length + 4] = static_cast<uint8_t>(checksum);
    m_length += 6;
}

void CLoaderRecord::MakeEnd() {
    static constexpr uint8_t kEnd[6] = {kFrameOpen, 0, 0, 0, 0, kFrameClose};
    m_length = sizeof(kEnd);
    m_baseAddress = 0;
    std::memcpy(m_frame, kEnd, sizeof(kEnd));
}

void CLoaderRecord::MakeRange(uint32_t first, uint32_t second) {
    m_length = 8;
    m_baseAddress = first;
    PutU32BE(&m_frame[kHeadBytes], first);
    PutU32BE(&m_frame[kHeadBytes + 4], second);
    Finish();
}

void CLoaderRecord::MakeData(uint32_t address, const uint8_t* data, uint16_t n) {
    if (n > kFrameMaxData) n = kFrameMaxData;
    m_baseAddress = address;
    m_dataCount = n;
    m_first = 0;
    PutU32BE(&m_frame[kHeadBytes], address);
    std::memcpy(&m_frame[kDataOffset], data, n);
    m_length = static_cast<uint16_t>(kAddressBytes + n);
    Finish();
}

}  // namespace zelvar
