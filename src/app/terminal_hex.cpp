#include <cstring>

#include "app/terminal.h"
#include "base/hex_digits.h"

namespace zelvar {

namespace {

// One hexadecimal value: an optional sign and "0x", digits up to the first character
// that is not one; no digit gives 0. Only the low 8 bits matter to the caller, so the
// value wraps instead of saturating.
uint8_t ParseHexValue(const char* piece) {
    bool negative = false;
    if (*piece == '+' || *piece == '-') negative = *piece++ == '-';
    if (piece[0] == '0' && (piece[1] == 'x' || piece[1] == 'X') && HexDigit(piece[2]) >= 0) {
        piece += 2;
    }
    uint32_t value = 0;
    for (int d; (d = HexDigit(*piece)) >= 0; ++piece) value = value * 16 + static_cast<uint32_t>(d);
    if (negative) value = 0u - value;
    return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

int ParseHexCommand(char* buffer) {
    char scratch[kTerminalLineBytes];
    std::size_t length = strnlen(buffer + 1, kTerminalLineChars - 1);
    std::memcpy(scratch, buffer + 1, length);
    scratch[length] = '\0';

    // Pieces are separated by spaces; runs of spaces make no empty values.
    int count = 0;
    char* cursor = scratch;
    for (;;) {
        while (*cursor == ' ') ++cursor;
        if (*cursor == '\0') return count;
        char* piece = cursor;
        while (*cursor != ' ' && *cursor != '\0') ++cursor;
        if (*cursor == ' ') *cursor++ = '\0';
        buffer[count++] = static_cast<char>(ParseHexValue(piece));
    }
}

}  // namespace zelvar
