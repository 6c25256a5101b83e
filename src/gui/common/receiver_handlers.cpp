#include "gui/common/receiver_handlers.h"

#include <string>

#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"
#include "link/connect_gps.h"

namespace zelvar {

void OnConnectGps(IMainWindow& window) {
    window.ListReset(IDC_MESSAGE_LIST);
    window.Repaint(IDC_WINDOW);
    ConnectGps([&window](bool connected) { window.Enable(IDC_LOAD, connected); });
}

void OnPortSelected(IMainWindow& window) {
    const int selection = window.ListSelection(IDC_PORT_LIST);
    if (selection < 0) return;  // nothing chosen: keep the current device
    g_portName.Set(window.ListItem(IDC_PORT_LIST, selection).c_str());
    if (g_terminalMode) PostTerminalCommand(TermReopen);
}

void ShowAboutBox(IMainWindow& window) {
    if (g_uploadBusy) return;  // flash programming runs: no About box now
    std::string title;
    std::string text;
    MakeAboutTexts(title, text);
    window.ShowAbout(title, text);
}

}  // namespace zelvar
