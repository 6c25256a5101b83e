// Hexadecimal digits, read and written.
#pragma once

namespace zelvar {

// The value of one hexadecimal digit of either case, or -1 for any other character.
constexpr int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The digits written for the values 0 to 15.
inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

}  // namespace zelvar
