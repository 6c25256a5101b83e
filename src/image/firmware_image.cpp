#include "image/firmware_image.h"

namespace zelvar {

CFirmwareImage g_firmwareImage;
CSRecordReader g_sfldReader;

CFirmwareImage::~CFirmwareImage() {
    Close();
}

bool CFirmwareImage::Open(const char* path) {
    // Whatever was open before is closed, so a failed open never leaves the previous
    // image in place to be scanned or sent.
    m_srecord.Close();
    m_binary.Close();
    m_origin = OriginNone;
    if (!m_srecord.Open(path)) return false;
    if (m_srecord.Probe()) {
        m_origin = OriginFile;
        m_format = FormatSRecord;
        return true;
    }
    m_srecord.Close();
    if (!m_binary.Open(path)) return false;
    m_origin = OriginFile;
    m_format = FormatBinary;
    return true;
}

void CFirmwareImage::Close() {
    if (m_format == FormatBinary) {
        m_binary.Close();
    } else if (m_format == FormatSRecord) {
        m_srecord.Close();
    }
    m_origin = OriginNone;
}

bool CFirmwareImage::Scan() {
    if (m_format == FormatBinary) {
        if (!m_binary.Scan()) return false;
        m_startAddress = m_binary.StartAddress();
        m_entryPoint = m_binary.EntryPoint();
        m_imageSize = m_binary.ImageSize();
        return true;
    }
    if (m_format == FormatSRecord) {
        if (!m_srecord.Scan()) return false;
        m_startAddress = m_srecord.StartAddress();
        m_entryPoint = m_srecord.EntryPoint();
        m_imageSize = m_srecord.ImageSize();
        return true;
    }
    return false;
}

void CFirmwareImage::Rewind() {
    if (m_format == FormatBinary) {
        m_binary.Rewind();
    } else if (m_format == FormatSRecord) {
        m_srecord.Rewind();
    }
}

bool CFirmwareImage::NextRecord(CLoaderRecord& record) {
    if (m_format == FormatBinary) return m_binary.NextRecord(record);
    if (m_format == FormatSRecord) return m_srecord.NextRecord(record);
    return false;
}

FILE* CFirmwareImage::BinaryStream() const {
    return m_format == FormatBinary ? m_binary.Stream() : nullptr;
}

}  // namespace zelvar
