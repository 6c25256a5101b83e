// The Connect GPS, port choice and About handlers of the main dialog, working through
// the main-window seam.
#pragma once

#include <string>

#include "link/receiver_queries.h"

namespace zelvar {

void OnConnectGps();
void LogSectionInfo(const FlashSectionInfo& section, const char* label);
void OnPortSelected();
// The About box's title and text from the program strings and g_receiverInfo.
void MakeAboutTexts(std::string& title, std::string& text);
void ShowAboutBox();

}  // namespace zelvar
