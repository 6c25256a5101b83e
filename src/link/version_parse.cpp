#include "link/version_parse.h"

#include <cstring>

#include "base/hex_digits.h"

namespace zelvar {

namespace {

bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(uint8_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A byte that, taken as signed, is at most limit ends a version text: blanks, control
// characters and every byte from 0x80 up.
bool EndsText(uint8_t c, int limit) {
    return static_cast<int8_t>(c) <= limit;
}

// The decimal digits at text[0..size), modulo 256; *used gets the digit count.
uint8_t DecimalMod256(const uint8_t* text, std::size_t size, std::size_t* used) {
    uint8_t value = 0;
    std::size_t i = 0;
    for (; i < size && IsDigit(text[i]); ++i)
        value = static_cast<uint8_t>(value * 10 + (text[i] - '0'));
    if (used != nullptr) *used = i;
    return value;
}

// A decimal number as strtol reads it (leading blanks and a sign accepted), modulo
// 256; 0 when no digit follows.
uint8_t SignedDecimalMod256(const uint8_t* text, std::size_t size) {
    std::size_t i = 0;
    while (i < size && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint8_t value = DecimalMod256(text + i, size - i, nullptr);
    return negative ? static_cast<uint8_t>(-value) : value;
}

void CopyVersionText(const uint8_t* text, std::size_t length, FlashSectionInfo& info) {
    const std::size_t kept = length < kVersionTextBytes ? length : kVersionTextBytes;
    std::memcpy(info.text, text, kept);
    info.text[kept] = 0;
}

}  // namespace

bool ParseHexWord(const char* text, uint32_t& value) {
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    while (*p == ' ' || *p == '\t') ++p;
    if (HexDigit(*p) < 0) return false;
    uint32_t result = 0;
    for (; HexDigit(*p) >= 0; ++p) {
        if (result > 0x0FFFFFFFu) return false;
        result = (result << 4) | static_cast<uint32_t>(HexDigit(*p));
    }
    value = result;
    return true;
}

void ParseLoaderVersion(uint8_t* scratch, FlashSectionInfo& info) {
    int found = -1;
    for (int p = 0; p <= kVersionSearchLast; ++p) {
        if (scratch[p] == 'v' && IsDigit(scratch[p + 1])) found = p;
    }
    if (found < 0) return;

    const std::size_t start = static_cast<std::size_t>(found) + 1;
    std::size_t end = start;
    while (end < kVersionScratchBytes - 1 && !EndsText(scratch[end], 0x20)) ++end;
    scratch[end] = 0;
    CopyVersionText(scratch + start, end - start, info);

    std::size_t digits = 0;
    info.major = DecimalMod256(scratch + start, end - start, &digits);
    // The one separator after the major number is skipped, whatever it is, even when
    // it is the byte that ended the text.
    const std::size_t minorAt = start + digits + 1;
    info.minor = SignedDecimalMod256(scratch + minorAt, kVersionScratchBytes - minorAt);
}

void ParseMainVersion(const char* line, FlashSectionInfo& info) {
    static constexpr char kPrefix[] = "$PQRXR,RID,";
    if (std::strncmp(line, kPrefix, sizeof kPrefix - 1) != 0) return;
    const char* comma = std::strchr(line + sizeof kPrefix - 1, ',');
    if (comma == nullptr) return;  // no second field: no version
    const auto* text = reinterpret_cast<const uint8_t*>(comma + 1);

    // Commas do not end the text: when further fields follow, it runs on through them.
    std::size_t length = 0;
    while (!EndsText(text[length], 0x2A)) ++length;
    CopyVersionText(text, length, info);

    for (std::size_t i = 1; i < length; ++i) {
        if (IsDigit(text[i])) {
            info.minor = DecimalMod256(text + i, length - i, nullptr);
            return;
        }
    }
}

}  // namespace zelvar
