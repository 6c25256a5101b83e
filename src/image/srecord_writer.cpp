#include "image/srecord_writer.h"

#include <algorithm>

#include "base/hex_digits.h"
#include "image/composite_builder.h"

namespace zelvar {

namespace {

constexpr int kMaxRecordBytes = 250;  // data bytes that fit one record's byte count

void PutHexByte(std::string& out, uint8_t byte) {
    out += kUpperHexDigits[byte >> 4];
    out += kUpperHexDigits[byte & 0x0F];
}

}  // namespace

std::string MakeSRecordLine(char type, int addressBytes, uint32_t address, const uint8_t* data,
                            std::size_t size) {
    const uint8_t byteCount = static_cast<uint8_t>(addressBytes + size + 1);
    std::string line = "S";
    line += type;
    PutHexByte(line, byteCount);
    uint32_t sum = byteCount;
    for (int i = addressBytes - 1; i >= 0; --i) {
        const uint8_t byte = static_cast<uint8_t>(address >> (8 * i));
        PutHexByte(line, byte);
        sum += byte;
    }
    for (std::size_t i = 0; i < size; ++i) {
        PutHexByte(line, data[i]);
        sum += data[i];
    }
    PutHexByte(line, static_cast<uint8_t>(~sum));
    return line;
}

std::string MakeSRecordText(uint32_t address, const std::vector<uint8_t>& data, uint32_t entry,
                            int recordBytes, const std::string& header) {
    recordBytes = std::clamp(recordBytes, 1, kMaxRecordBytes);
    const std::size_t headerBytes = std::min<std::size_t>(header.size(), kMaxRecordBytes);
    std::string text =
        MakeSRecordLine('0', 2, 0, reinterpret_cast<const uint8_t*>(header.data()), headerBytes) +
        "\n";
    for (std::size_t offset = 0; offset < data.size(); offset += recordBytes) {
        const std::size_t size = std::min<std::size_t>(recordBytes, data.size() - offset);
        text +=
            MakeSRecordLine('3', 4, address + static_cast<uint32_t>(offset), &data[offset], size);
        text += "\n";
    }
    text += MakeSRecordLine('7', 4, entry, nullptr, 0) + "\n";
    return text;
}

}  // namespace zelvar
