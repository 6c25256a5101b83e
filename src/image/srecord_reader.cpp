#include "image/srecord_reader.h"

#include <cstring>

#include "base/hex_digits.h"
#include "image/image_file.h"

namespace zelvar {

namespace {

// Reads digits hexadecimal digits at line[pos]; false when the line ends first or a
// character is not a digit. The caller has checked that pos + digits lies in the line.
bool ReadHex(const char* line, std::size_t pos, int digits, uint32_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = HexDigit(line[pos + i]);
        if (d < 0) return false;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    return true;
}

// Characters of a line that holds a byte count of n: "S", type, count, n bytes.
std::size_t LineCharsFor(uint32_t n) {
    return 4 + 2 * static_cast<std::size_t>(n);
}

struct Layout {
    int addressDigits;  // hexadecimal digits of the address field
    bool isData;        // S1, S2, S3: data bytes follow the address
};

Layout LayoutOf(uint8_t type) {
    switch (type) {
        case 1:
            return {4, true};
        case 2:
            return {6, true};
        case 3:
            return {8, true};
        default:
            return {8, false};
    }
}

}  // namespace

CSRecordReader::~CSRecordReader() {
    Close();
}

bool CSRecordReader::Open(const char* path) {
    Close();
    if (path == nullptr) return false;
    m_file = OpenImageFile(path, "r");
    if (m_file == nullptr) return false;
    m_mode = OriginFile;
    return true;
}

void CSRecordReader::Close() {
    if (m_mode == OriginFile && m_file != nullptr) std::fclose(m_file);
    m_file = nullptr;
    m_mode = OriginNone;
}

ReadResult CSRecordReader::ReadLine(char* line) {
    std::memset(line, 0, kSRecordLineBuffer - 1);
    if (m_mode != OriginFile) return ReadError;
    if (std::fgets(line, kSRecordLineRead, m_file) == nullptr) {
        // Only the end of the text ends the image: a stream that failed (a directory,
        // a device error) must not pass for a shorter image.
        return std::ferror(m_file) ? ReadError : ReadEnd;
    }
    return ReadOk;
}

bool CSRecordReader::VerifyChecksum(const char* line) {
    const std::size_t length = std::strlen(line);
    uint32_t n = 0;
    if (length < 4 || !ReadHex(line, 2, 2, n)) return false;
    if (n == 0 || LineCharsFor(n) > length) return false;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t byte = 0;
        if (!ReadHex(line, 2 + 2 * i, 2, byte)) return false;
        sum += byte;
    }
    uint32_t stored = 0;
    if (!ReadHex(line, 2 + 2 * n, 2, stored)) return false;
    return stored == (0xFFu & ~sum);
}

ReadResult CSRecordReader::ReadRecord(SRecord& record) {
    const ReadResult gathered = ReadLine(m_line);
    if (gathered != ReadOk) return gathered;
    for (std::size_t i = 0; i < kSRecordLineBuffer - 1; ++i) {
        if (m_line[i] == '\r' || m_line[i] == '\n') m_line[i] = '\0';
    }
    const std::size_t length = std::strlen(m_line);
    if (length > kSRecordMaxLine) return ReadError;
    if (m_line[0] != 'S') return ReadError;
    if (!VerifyChecksum(m_line)) return ReadError;

    // VerifyChecksum has proven that the whole byte count lies in the line.
    record.type = static_cast<uint8_t>(m_line[1] - '0');
    uint32_t byteCount = 0;
    ReadHex(m_line, 2, 2, byteCount);
    if (record.type == 0) {
        record.count = 0;
        record.address = 0;
        return ReadOk;
    }
    const Layout layout = LayoutOf(record.type);
    const uint32_t addressBytes = static_cast<uint32_t>(layout.addressDigits / 2);
    if (layout.isData || record.type == 7) {
        // The count must cover the address and the checksum byte.
        if (byteCount < addressBytes + 1) return ReadError;
    }
    if (!layout.isData) {
        // Any other type: as many of eight address digits as the line holds.
        const std::size_t avail = length - 4 < 8 ? length - 4 : 8;
        uint32_t address = 0;
        for (std::size_t i = 0; i < avail && HexDigit(m_line[4 + i]) >= 0; ++i) {
            address = address << 4 | static_cast<uint32_t>(HexDigit(m_line[4 + i]));
        }
        record.address = address;
        record.count = static_cast<uint16_t>(byteCount);
        return ReadOk;
    }
    ReadHex(m_line, 4, layout.addressDigits, record.address);
    record.count = static_cast<uint16_t>(byteCount - addressBytes - 1);
    const std::size_t first = 4 + static_cast<std::size_t>(layout.addressDigits);
    for (uint16_t i = 0; i < record.count; ++i) {
        uint32_t byte = 0;
        ReadHex(m_line, first + 2u * i, 2, byte);
        record.data[i] = static_cast<uint16_t>(byte);
    }
    uint32_t checksum = 0;
    ReadHex(m_line, first + 2u * record.count, 2, checksum);
    record.checksum = static_cast<uint16_t>(checksum);
    return ReadOk;
}

bool CSRecordReader::Probe() {
    if (ReadRecord(m_record) == ReadError) return false;
    std::fseek(m_file, 0, SEEK_SET);
    return true;
}

void CSRecordReader::Rewind() {
    if (m_mode == OriginFile) {
        std::clearerr(m_file);
        std::fseek(m_file, 0, SEEK_SET);
    }
    m_pending.present = 0;
}

bool CSRecordReader::Scan() {
    if (m_mode != OriginFile) return false;
    m_startAddress = 0xFFFFFFFF;
    m_entryPoint = 0xFFFFFFFF;
    m_imageSize = 0;  // the highest S3 address while scanning
    for (;;) {
        const ReadResult result = ReadRecord(m_record);
        if (result == ReadError) return false;
        if (result == ReadEnd) break;
        if (m_record.type == 3) {
            if (m_record.address > m_imageSize) m_imageSize = m_record.address;
            if (m_record.address < m_startAddress) m_startAddress = m_record.address;
        } else if (m_record.type == 7) {
            m_entryPoint = m_record.address;
        }
    }
    m_imageSize -= m_startAddress;
    if (m_entryPoint == 0xFFFFFFFF) m_entryPoint = m_startAddress;
    return true;
}

bool CSRecordReader::NextRecord(CLoaderRecord& record) {
    record.Begin();
    bool appended = false;
    if (m_pending.present) {
        record.Append(m_pending.address, m_pending.count, m_pending.units);
        appended = true;
        m_pending.present = 0;
    }
    for (;;) {
        const ReadResult result = ReadRecord(m_record);
        if (result == ReadEnd) break;
        if (result == ReadError) return false;
        // An S3 record without data adds nothing; opening a frame with it would end
        // the image early with a frame that holds no data.
        if (m_record.type != 3 || m_record.count == 0) continue;
        appended = true;
        if (record.Append(m_record.address, m_record.count, m_record.data)) break;
    }
    // Only a remainder set aside by this call's Appends is carried on.
    if (appended && record.Remainder().present) m_pending = record.Remainder();
    record.Finish();
    return true;
}

}  // namespace zelvar
