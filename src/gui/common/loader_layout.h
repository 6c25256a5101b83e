// The main dialog's two layouts and list contents.
#pragma once

#include <string>
#include <vector>

#include "base/main_window.h"

namespace zelvar {

constexpr int kPresetCommandCount = 16;
extern const char* const kPresetCommands[kPresetCommandCount];

constexpr int kSpeedCount = 5;
constexpr int kDefaultSpeedIndex = 4;  // "4800"
extern const char* const kSpeedTexts[kSpeedCount];
extern const int kSpeedCommands[kSpeedCount];
extern const int kSpeedBauds[kSpeedCount];

// Loader mode (terminal false) or terminal mode; imagePath fills the image list.
void ApplyLayout(IMainWindow& window, bool terminal, const std::string& imagePath);
// The speed list and the port list with their defaults; extraPorts follow the two
// built-in ports.
// A port the list offers after the built-in names: the text shown ("FT232R USB UART
// (ttyUSB0)") and the device opened when it is chosen.
struct PortChoice {
    std::string label;
    std::string device;
};
std::vector<PortChoice> PortChoices(const std::vector<std::string>& devices);  // label = device

void FillLists(IMainWindow& window, const std::vector<PortChoice>& extraPorts);
// The port list alone, with shown as its text again: selected when the list holds it,
// else as typed text. The port in use does not change.
void RefillPortList(IMainWindow& window, const std::vector<PortChoice>& extraPorts,
                    const std::string& shown);

}  // namespace zelvar
