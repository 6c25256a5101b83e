// Connect GPS and the About box's texts, free of any window: the dialog's handlers
// (gui/common/receiver_handlers.h) and the command line build on them.
#pragma once

#include <functional>
#include <string>

#include "link/receiver_queries.h"

namespace zelvar {

// Opens g_portName at kConnectOpenSpeed, connects into g_receiverInfo and lists the
// flash sections and the verdict; onVerdict(connected) runs just before the verdict
// line. A port that cannot be opened ends it with a status text and no verdict. True
// when a receiver answered at a known speed.
bool ConnectGps(const std::function<void(bool connected)>& onVerdict = {});
void LogSectionInfo(const FlashSectionInfo& section, const char* label);
// The About box's title and text from the program strings and g_receiverInfo.
void MakeAboutTexts(std::string& title, std::string& text);

}  // namespace zelvar
