// Reads a flat binary memory image: file offset k holds the byte for kFlashBase + k, and
// the image ends at the main firmware section's end address (its header's end word).
#pragma once

#include <cstdint>
#include <cstdio>

#include "image/loader_record.h"
#include "image/read_result.h"

namespace zelvar {

constexpr uint16_t kBinaryBlockBytes = kFrameMaxData;  // bytes read per frame

class CBinaryImageReader {
  public:
    CBinaryImageReader() = default;
    ~CBinaryImageReader();
    CBinaryImageReader(const CBinaryImageReader&) = delete;
    CBinaryImageReader& operator=(const CBinaryImageReader&) = delete;

    bool Open(const char* path);
    void Close();
    ReadResult ReadBlock(uint8_t* dst, uint16_t maxBytes, uint16_t& count);
    bool Scan();
    void Rewind();
    bool NextRecord(CLoaderRecord& record);

    // The open stream (nullptr when closed), for callers that inspect the image
    // directly; Rewind restores the reading position afterwards.
    FILE* Stream() const { return m_mode == OriginFile ? m_file : nullptr; }
    ImageOrigin Mode() const { return m_mode; }
    uint32_t StartAddress() const { return m_startAddress; }
    uint32_t EntryPoint() const { return m_entryPoint; }
    uint32_t ImageSize() const { return m_imageSize; }

  private:
    uint32_t m_curAddress = 0;
    ImageOrigin m_mode = OriginNone;
    FILE* m_file = nullptr;
    uint32_t m_startAddress = 0;
    uint32_t m_entryPoint = 0;
    uint32_t m_imageSize = 0;
    uint8_t m_block[kBinaryBlockBytes] = {};
    uint16_t m_units[kBinaryBlockBytes] = {};
};

}  // namespace zelvar
