// The user's firmware image: S-record text or a flat binary image, decided on opening.
// Every later operation goes to the reader of the format found.
#pragma once

#include <cstdint>
#include <cstdio>

#include "image/binary_image_reader.h"
#include "image/srecord_reader.h"

namespace zelvar {

enum ImageFormat : uint8_t { FormatBinary = 0, FormatSRecord = 1 };

class CFirmwareImage {
  public:
    CFirmwareImage() = default;
    ~CFirmwareImage();
    CFirmwareImage(const CFirmwareImage&) = delete;
    CFirmwareImage& operator=(const CFirmwareImage&) = delete;

    // Tries S-record text first (its first line must decode), then a binary image.
    bool Open(const char* path);
    void Close();
    bool Scan();
    void Rewind();
    bool NextRecord(CLoaderRecord& record);

    // The binary reader's open stream while a binary image is open, else nullptr. The
    // composite image check seeks in and reads it; Rewind restores the position.
    FILE* BinaryStream() const;

    ImageOrigin Origin() const { return m_origin; }
    ImageFormat Format() const { return m_format; }
    uint32_t StartAddress() const { return m_startAddress; }
    uint32_t EntryPoint() const { return m_entryPoint; }
    uint32_t ImageSize() const { return m_imageSize; }

  private:
    ImageOrigin m_origin = OriginNone;
    ImageFormat m_format = FormatBinary;
    CSRecordReader m_srecord;
    CBinaryImageReader m_binary;
    uint32_t m_startAddress = 0;
    uint32_t m_entryPoint = 0;
    uint32_t m_imageSize = 0;
};

// The image the user chose, and the SFLD; used by upload jobs only.
extern CFirmwareImage g_firmwareImage;
extern CSRecordReader g_sfldReader;

}  // namespace zelvar
