// The main dialog's two layouts and list contents.
#pragma once

#include <string>
#include <vector>

#include "app/main_window.h"

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
void FillLists(IMainWindow& window, const std::vector<std::string>& extraPorts);

}  // namespace zelvar
