#include "image/binary_image_reader.h"

#include "base/flash_map.h"
#include "image/image_file.h"

namespace zelvar {

CBinaryImageReader::~CBinaryImageReader() {
    Close();
}

bool CBinaryImageReader::Open(const char* path) {
    Close();
    if (path == nullptr) return false;
    m_file = OpenImageFile(path, "rb");
    if (m_file == nullptr) return false;
    m_mode = OriginFile;
    return true;
}

void CBinaryImageReader::Close() {
    if (m_mode == OriginFile && m_file != nullptr) std::fclose(m_file);
    m_file = nullptr;
    m_mode = OriginNone;
}

ReadResult CBinaryImageReader::ReadBlock(uint8_t* dst, uint16_t maxBytes, uint16_t& count) {
    count = 0;
    if (m_mode != OriginFile) return ReadError;
    count = static_cast<uint16_t>(std::fread(dst, 1, maxBytes, m_file));
    if (std::ferror(m_file)) return ReadError;
    if (count == 0) return ReadEnd;
    const long position = std::ftell(m_file);
    if (position < 0) return ReadError;
    if (static_cast<unsigned long>(position) > m_imageSize) {
        // Everything from the image size on lies outside the image: cut the block there
        // and park the stream at its end so that the next read reports the end.
        const unsigned long beyond = static_cast<unsigned long>(position) - m_imageSize;
        count = beyond >= count ? 0 : static_cast<uint16_t>(count - beyond);
        std::fseek(m_file, 0, SEEK_END);
    }
    return ReadOk;
}

bool CBinaryImageReader::Scan() {
    m_startAddress = kFlashBase;
    m_entryPoint = kFlashBase;
    if (m_mode != OriginFile) return false;
    uint32_t fwStart = 0;
    uint32_t fwEnd = 0;
    if (std::fseek(m_file, kFwFileOffset + kSectionStartWord, SEEK_SET) != 0) return false;
    if (!ReadWordLE(m_file, fwStart) || fwStart != kFwBase) return false;
    if (!ReadWordLE(m_file, fwEnd)) return false;
    std::fseek(m_file, 0, SEEK_SET);
    m_imageSize = fwEnd - m_startAddress;
    return true;
}

void CBinaryImageReader::Rewind() {
    if (m_mode == OriginFile) {
        std::clearerr(m_file);
        std::fseek(m_file, 0, SEEK_SET);
    }
    m_curAddress = m_startAddress;
}

bool CBinaryImageReader::NextRecord(CLoaderRecord& record) {
    record.Begin();
    uint16_t count = 0;
    if (ReadBlock(m_block, kBinaryBlockBytes, count) == ReadError) return false;
    for (uint16_t i = 0; i < count; ++i) m_units[i] = m_block[i];
    record.Append(m_curAddress, count, m_units);
    record.Finish();
    m_curAddress += count;
    return true;
}

}  // namespace zelvar
