// The Connect GPS and port choice handlers of the main dialog.
#include "link/connect_gps.h"

#include <cstdio>

#include "base/main_window.h"
#include "base/message_log.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"
#include "link/flash_information.h"

namespace zelvar {

namespace {

constexpr int kLineBytes = 512;

// Empties the message list and repaints the whole window at once, so the emptied list
// is visible before the blocking connect starts.
void ClearMessageList() {
    auto window = GetMainWindow();
    if (!window) return;
    window->ListReset(IDC_MESSAGE_LIST);
    window->Repaint(IDC_WINDOW);
}

void EnableLoad(bool enable) {
    if (auto window = GetMainWindow()) window->Enable(IDC_LOAD, enable);
}

}  // namespace

void LogSectionInfo(const FlashSectionInfo& section, const char* label) {
    char line[kLineBytes];
    if (section.length == 0) {
        std::snprintf(line, sizeof line, "%s N/a", label);
        LogAnsiLine(line);
        return;
    }
    std::snprintf(line, sizeof line, "%s len:0x%x", label, section.length);
    LogAnsiLine(line);
    if (section.crc != 0) {
        std::snprintf(line, sizeof line, "%s crc:0x%x", label, section.crc);
    } else {
        std::snprintf(line, sizeof line, "%s crc:N/a", label);
    }
    LogAnsiLine(line);
    if (section.major != 0 || section.minor != 0) {
        std::snprintf(line, sizeof line, "%s ver:%d.%d (%s)", label, section.major, section.minor,
                      section.text);
    } else {
        std::snprintf(line, sizeof line, "%s ver:N/a", label);
    }
    LogAnsiLine(line);
}

void OnConnectGps() {
    ClearMessageList();
    const ConnectOutcome outcome = ConnectAndListFlash(g_portName.Get().c_str(), "before");
    if (outcome != ConnectOutcome::NotOpened) EnableLoad(outcome == ConnectOutcome::Connected);
}

void OnPortSelected() {
    auto window = GetMainWindow();
    if (!window) return;
    const int selection = window->ListSelection(IDC_PORT_LIST);
    if (selection < 0) return;  // nothing chosen: keep the current device
    g_portName.Set(window->ListItem(IDC_PORT_LIST, selection).c_str());
    if (g_terminalMode) PostTerminalCommand(TermReopen);
}

}  // namespace zelvar
