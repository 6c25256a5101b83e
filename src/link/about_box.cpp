// The About box's texts: the program's version and the receiver versions of the last
// connect.
#include <cstdio>

#include "base/message_log.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "link/connect_gps.h"

namespace zelvar {

namespace {

// " major.minor", or " N/a" when the section gave no version.
std::string VersionText(const FlashSectionInfo& section) {
    if (section.major == 0 && section.minor == 0) return " N/a";
    char text[16];
    std::snprintf(text, sizeof text, " %d.%d", section.major, section.minor);
    return text;
}

}  // namespace

void MakeAboutTexts(std::string& title, std::string& text) {
    title = std::string(kStrLoaderName) + " " + kStrVersion;
    text = kStrFwVersion + VersionText(g_receiverInfo.main) + "\r\n";
    text += kStrPfldVersion + VersionText(g_receiverInfo.pfld) + "\r\n";
    if (g_receiverInfo.pflMode) text += "PFL mode detected\r\n";
    const std::string log = LogFilePath();
    text += log.empty() ? std::string("No log file\r\n") : "Log file: " + log + "\r\n";
}

}  // namespace zelvar
