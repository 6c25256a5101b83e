#include "app/terminal_display.h"

#include <cstdio>
#include <cstring>

#include "base/message_log.h"
#include "base/shared_state.h"

namespace zelvar {

namespace {

constexpr int kHexByteChars = 3;  // "%02X "

// Received bytes outside the printable range show as spaces.
char Printable(uint8_t byte) {
    return (byte <= 0x20 || byte >= 0x80) ? ' ' : static_cast<char>(byte);
}

}  // namespace

CTerminalDisplay::CTerminalDisplay() {
    std::memset(m_line, 0, sizeof m_line);
}

void CTerminalDisplay::AddByte(uint8_t byte, bool hex, bool pause) {
    if (hex) {
        AddHex(byte, pause);
    } else {
        AddText(byte, pause);
    }
}

void CTerminalDisplay::AddText(uint8_t byte, bool pause) {
    if (byte == '\r' || byte == '\n') {
        if (m_length > 0) EndLine(pause);  // blank lines and the LF of CR LF show nothing
        return;
    }
    if (m_length < kTerminalLineChars) {
        m_line[m_length++] = Printable(byte);
        return;
    }
    EndLine(pause);  // the line is full; the byte just received is dropped
}

void CTerminalDisplay::AddHex(uint8_t byte, bool pause) {
    if (m_length + kHexByteChars > kTerminalLineChars) EndLine(pause);
    std::snprintf(m_line + m_length, kHexByteChars + 1, "%02X ", static_cast<unsigned>(byte));
    m_length += kHexByteChars;
    if (m_length > kTerminalHexLineChars) EndLine(pause);
}

void CTerminalDisplay::EndLine(bool pause) {
    m_line[m_length] = '\0';
    if (!pause) ShowTerminalLine(m_line);
    std::memset(m_line, 0, sizeof m_line);
    m_length = 0;
}

void ShowTerminalLine(const char* text) {
    // A sentence ends with '*' and two checksum digits; whatever follows them goes.
    std::size_t length = std::strlen(text);
    if (const char* star = std::strchr(text, '*')) {
        std::size_t end = static_cast<std::size_t>(star - text) + 3;
        if (end < length) length = end;
    }
    if (length > static_cast<std::size_t>(kTerminalLineChars)) length = kTerminalLineChars;
    char line[kTerminalLineBytes];
    std::memcpy(line, text, length);
    line[length] = '\0';
    line[Utf8Prefix(line, length)] = '\0';  // never end inside a UTF-8 sequence
    LogLine(line);
}

}  // namespace zelvar
