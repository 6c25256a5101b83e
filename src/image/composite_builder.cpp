#include "image/composite_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/hex_digits.h"
#include "image/srecord_writer.h"

namespace zelvar {

namespace {

constexpr std::size_t kSectionHeaderEnd = kSectionEndWord + 4;  // first word .. end word
// A section's end stays below its start + its room, its check word within the room.
constexpr std::size_t kPfldMaxBytes = kPfldSectionBytes - 4;
constexpr std::size_t kFwMaxBytes = kFwSectionBytes - 4;
constexpr uint8_t kErased = 0xFF;
constexpr std::size_t kMaxLineChars = 78;  // longest line the reader decodes
constexpr uint8_t kHeaderPad = ' ';        // header bytes added to align the text

void PutU32LE(uint8_t* dst, uint32_t value) {
    for (int i = 0; i < 4; ++i) dst[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Places one section at offset: contents padded with 0xFF to whole words and to the
// header's size, header words, 0xE5 top byte, check word after it. Its byte count goes
// to size.
bool PlaceSection(const std::vector<uint8_t>& contents, uint32_t base, std::size_t maxBytes,
                  std::size_t offset, std::vector<uint8_t>& out, std::size_t& size) {
    size = (std::max(contents.size(), kSectionHeaderEnd) + 3) & ~std::size_t{3};
    if (size > maxBytes) return false;
    if (out.size() < offset + size + 4) out.resize(offset + size + 4, kErased);
    uint8_t* section = &out[offset];
    std::memset(section, kErased, size);
    if (!contents.empty()) std::memcpy(section, contents.data(), contents.size());
    section[3] = static_cast<uint8_t>(kSectionMarker);
    PutU32LE(section + kSectionStartWord, base);
    PutU32LE(section + kSectionEndWord, base + static_cast<uint32_t>(size));
    PutU32LE(section + size, XorWordsLE(section, size));
    return true;
}

// Decodes the bytes of an S-record line body ("S0" + hex); false when it is not one.
bool DecodeLineBytes(const std::string& body, std::vector<uint8_t>& bytes) {
    if (body.size() < 10 || body.size() % 2 != 0) return false;
    bytes.clear();
    for (std::size_t i = 2; i < body.size(); i += 2) {
        const int high = HexDigit(body[i]);
        const int low = HexDigit(body[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
    return bytes[0] + 1u == bytes.size() && static_cast<uint8_t>(~sum) == bytes.back();
}

struct HeaderLine {
    std::size_t begin = 0;   // offset of the line in the text
    std::size_t length = 0;  // characters including its line end
    std::string ending;      // "", "\n" or "\r\n"
    uint32_t address = 0;
    std::vector<uint8_t> data;
};

// Finds the first S0 line; inserts an empty one at the start when there is none.
bool FindHeaderLine(std::string& text, HeaderLine& header, std::string& error) {
    std::size_t begin = 0;
    while (begin < text.size() && text.compare(begin, 2, "S0") != 0) {
        const std::size_t next = text.find('\n', begin);
        begin = next == std::string::npos ? text.size() : next + 1;
    }
    if (begin >= text.size()) {
        text.insert(0, MakeSRecordLine('0', 2, 0, nullptr, 0) + "\n");
        begin = 0;
    }
    const std::size_t newline = text.find('\n', begin);
    const std::size_t end = newline == std::string::npos ? text.size() : newline + 1;
    std::string body = text.substr(begin, end - begin);
    header.ending.clear();
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) {
        header.ending.insert(header.ending.begin(), body.back());
        body.pop_back();
    }
    std::vector<uint8_t> bytes;
    if (!DecodeLineBytes(body, bytes)) {
        error = "the SFLD's S0 header is not a valid record";
        return false;
    }
    header.begin = begin;
    header.length = end - begin;
    header.address = static_cast<uint32_t>(bytes[1] << 8 | bytes[2]);
    header.data.assign(bytes.begin() + 3, bytes.end() - 1);
    return true;
}

// Makes the SFLD text a whole number of words long by adding blanks to its S0 header
// text and, for an odd shortfall, a carriage return to the header's line end.
bool AlignSfldText(std::string& text, std::string& error) {
    if (text.size() % 4 == 0) return true;
    HeaderLine header;
    if (!FindHeaderLine(text, header, error)) return false;
    const std::string endings[] = {header.ending, "\n", "\r\n"};
    for (std::size_t extra = 0; extra < 4; ++extra) {
        std::vector<uint8_t> data = header.data;
        data.insert(data.end(), extra, kHeaderPad);
        const std::string line = MakeSRecordLine('0', 2, header.address, data.data(), data.size());
        if (line.size() > kMaxLineChars) break;
        for (const std::string& ending : endings) {
            const std::size_t size = text.size() - header.length + line.size() + ending.size();
            if (ending.empty() && header.begin + header.length < text.size()) continue;
            if (size % 4 != 0) continue;
            text.replace(header.begin, header.length, line + ending);
            return true;
        }
    }
    error = "the SFLD's S0 header is too long to align the text";
    return false;
}

}  // namespace

uint32_t XorWordsLE(const uint8_t* data, std::size_t size) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum ^= static_cast<uint32_t>(data[i]) << (8 * (i % 4));
    return sum;
}

bool BuildCompositeImage(const CompositeImageParts& parts, std::vector<uint8_t>& out,
                         std::string& error) {
    out.assign(kFwFileOffset, kErased);
    std::size_t pfldSize = 0;
    std::size_t fwSize = 0;
    if (!PlaceSection(parts.pfld, kFlashBase, kPfldMaxBytes, 0, out, pfldSize)) {
        error = "PFLD section over 0x3FFC bytes";
        return false;
    }
    if (!PlaceSection(parts.fw, kFwBase, kFwMaxBytes, kFwFileOffset, out, fwSize)) {
        error = "FW section over 0xFFFFC bytes";
        return false;
    }
    if (parts.sfld.empty()) return true;
    std::string text = parts.sfld;
    if (!AlignSfldText(text, error)) return false;
    const std::size_t start = out.size();
    out.resize(start + text.size() + 4);
    std::memcpy(&out[start], text.data(), text.size());
    PutU32LE(&out[start + text.size()],
             XorWordsLE(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return true;
}

bool WriteCompositeImage(const CompositeImageParts& parts, const char* path, std::string& error) {
    std::vector<uint8_t> image;
    if (!BuildCompositeImage(parts, image, error)) return false;
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        error = std::string("cannot create ") + path;
        return false;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (std::fclose(file) != 0 || !written) {
        error = std::string("cannot write ") + path;
        return false;
    }
    return true;
}

}  // namespace zelvar
