// One loader record frame, built in place in a fixed buffer, and the data that did not
// fit into it. Frame on the wire: '[' (0x5B), payload length in 16-bit words (big-endian),
// payload, XOR of the payload's big-endian 16-bit words (big-endian), ']' (0x5D).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvar {

constexpr uint16_t kFrameMaxData = 2048;         // data bytes one frame carries at most
constexpr std::size_t kFrameBufferBytes = 2064;  // room for the largest frame (2058 bytes)
constexpr uint8_t kFrameOpen = 0x5B;             // '['
constexpr uint8_t kFrameClose = 0x5D;            // ']'

// Units that did not fit into a frame, carried to the next one. Each 16-bit unit holds
// one data byte in its low 8 bits.
struct PendingData {
    uint8_t present = 0;
    uint32_t address = 0;
    uint16_t units[kFrameMaxData] = {};
    uint16_t count = 0;
};

class CLoaderRecord {
  public:
    CLoaderRecord() = default;
    CLoaderRecord(const CLoaderRecord&) = delete;
    CLoaderRecord& operator=(const CLoaderRecord&) = delete;

    // Starts a data frame: the next Append opens it at its address. The remainder stays.
    void Begin();
    // Adds n units (at most kFrameMaxData) of consecutive addresses from address. True
    // when the frame is closed (full, or address does not continue it); the units not
    // taken are then in the remainder. False when all n were taken.
    bool Append(uint32_t address, uint16_t n, const uint16_t* units);
    // Closes a data or range frame: pad byte, length field, checksum, ']'.
    void Finish();
    // The end frame 5B 00 00 00 00 5D.
    void MakeEnd();
    // A range frame carrying two big-endian words.
    void MakeRange(uint32_t first, uint32_t second);
    // A finished data frame of n bytes (at most kFrameMaxData) from address. The
    // remainder is not touched.
    void MakeData(uint32_t address, const uint8_t* data, uint16_t n);

    static void PutU32BE(uint8_t* dst, uint32_t value);

    // The frame's bytes; after Finish/MakeEnd/MakeRange, Length() bytes are to be sent.
    const uint8_t* Bytes() const { return m_frame; }
    uint16_t Length() const { return m_length; }
    uint32_t BaseAddress() const { return m_baseAddress; }
    uint16_t DataCount() const { return m_dataCount; }
    // The data bytes of a data frame (DataCount() of them), after the address.
    const uint8_t* Data() const { return m_frame + kDataOffset; }
    const PendingData& Remainder() const { return m_remainder; }

  private:
    static constexpr std::size_t kDataOffset = 7;  // '[', the length field, the address

    void SetAside(uint32_t address, uint16_t k, const uint16_t* units);

    uint32_t m_baseAddress = 0;
    uint8_t m_frame[kFrameBufferBytes] = {};
    uint16_t m_length = 0;
    uint16_t m_dataCount = 0;
    uint8_t m_first = 0;
    PendingData m_remainder;
};

}  // namespace zelvar
