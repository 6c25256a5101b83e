// The terminal's display of received bytes: text lines, or hex bytes eight to a line.
#pragma once

#include <cstdint>

#include "app/terminal.h"

namespace zelvar {

class CTerminalDisplay {
  public:
    CTerminalDisplay();
    // Takes one received byte. hex: show it as "%02X "; pause: lines that complete
    // are dropped instead of shown.
    void AddByte(uint8_t byte, bool hex, bool pause);

  private:
    void AddText(uint8_t byte, bool pause);
    void AddHex(uint8_t byte, bool pause);
    void EndLine(bool pause);

    // Text and hex share one write position, so a line switched between the two
    // displays keeps everything received so far, in order.
    char m_line[kTerminalLineBytes];
    int m_length = 0;
};

}  // namespace zelvar
