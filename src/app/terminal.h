// Terminal mode: the loop that sends the dialog's commands and shows what the
// receiver sends back, as text lines or hex.
#pragma once

#include <cstdint>

#include "link/port.h"

namespace zelvar {

constexpr int kTerminalLineBytes = 512;

int RunTerminal(PortHandle handle);
void ShowTerminalLine(const char* text);
int ParseHexCommand(char* buffer);

}  // namespace zelvar
