#include "gui/common/loader_layout.h"

#include "base/resource_ids.h"
#include "base/terminal_commands.h"

namespace zelvar {

const char* const kPresetCommands[kPresetCommandCount] = {
    "$PQRXQ,RID",          "$PQRXQ,PRT",          "$PQRXQ,POS",           "$PQRXQ,PAR",
    "$PQRXS,SPD,A,8",      "$PQRXS,SPD,B,8",      "$PQRXQ,RDM,207ffc",    "$PQRXS,INI,8,8,,,1",
    "$PQRXS,INI,8,4,,,5",  "@ 24 24 0 7 A 0 D",   "$PQRXS,NME,ALL,A,OFF", "$PQRXS,NME,ALL,B,OFF",
    "$PQRXS,NME,POS,A,ON", "$PQRXS,NME,POS,B,ON", "$PQRXS,NME,SAT,A,ON",  "$PQRXS,NME,SAT,B,ON",
};

const char* const kSpeedTexts[kSpeedCount] = {"9600", "19200", "57600", "115200", "4800"};
const int kSpeedCommands[kSpeedCount] = {TermSpeed9600, TermSpeed19200, TermSpeed57600,
                                         TermSpeed115200, TermSpeed4800};
const int kSpeedBauds[kSpeedCount] = {9600, 19200, 57600, 115200, 4800};

namespace {

const char* const kBuiltInPorts[] = {"GPS1:", "GPS2:"};

void FillImageList(IMainWindow& window, bool terminal, const std::string& imagePath) {
    window.ListReset(IDC_IMAGE_LIST);
    if (terminal) {
        for (const char* preset : kPresetCommands) window.ListAdd(IDC_IMAGE_LIST, preset);
        return;
    }
    window.ListSelect(IDC_IMAGE_LIST, window.ListAdd(IDC_IMAGE_LIST, imagePath));
}

void FillPortList(IMainWindow& window, const std::vector<PortChoice>& extraPorts) {
    window.ListReset(IDC_PORT_LIST);
    for (const char* port : kBuiltInPorts) window.ListAdd(IDC_PORT_LIST, port);
    for (const PortChoice& port : extraPorts) window.ListAdd(IDC_PORT_LIST, port.label);
}

}  // namespace

void ApplyLayout(IMainWindow& window, bool terminal, const std::string& imagePath) {
    window.Enable(IDC_LOAD, false);
    window.Enable(IDC_CONNECT, !terminal);
    window.Enable(IDC_IMAGE_LIST, true);
    FillImageList(window, terminal, imagePath);
    window.Enable(IDC_BROWSE_SEND, true);
    window.SetText(IDC_BROWSE_SEND, terminal ? "Send" : "...");
    window.SetText(IDC_MODE, terminal ? "Terminal" : "Loader");
    window.SetText(IDC_IMAGE_LABEL, terminal ? "GPS Command" : "Select FW Image");
    window.Show(IDC_STATUS, !terminal);
    window.Show(IDC_SPEED_LIST, terminal);
    window.Show(IDC_HEX, terminal);
    window.Show(IDC_PAUSE, terminal);
}

std::vector<PortChoice> PortChoices(const std::vector<std::string>& devices) {
    std::vector<PortChoice> choices;
    for (const std::string& device : devices) choices.push_back({device, device});
    return choices;
}

void FillLists(IMainWindow& window, const std::vector<PortChoice>& extraPorts) {
    window.ListReset(IDC_SPEED_LIST);
    for (const char* speed : kSpeedTexts) window.ListAdd(IDC_SPEED_LIST, speed);
    window.ListSelect(IDC_SPEED_LIST, kDefaultSpeedIndex);

    FillPortList(window, extraPorts);
    window.ListSelect(IDC_PORT_LIST, 0);  // no change notification: g_portName stays
}

void RefillPortList(IMainWindow& window, const std::vector<PortChoice>& extraPorts,
                    const std::string& shown) {
    FillPortList(window, extraPorts);
    for (int i = 0, n = window.ListCount(IDC_PORT_LIST); i < n; ++i) {
        if (window.ListItem(IDC_PORT_LIST, i) != shown) continue;
        window.ListSelect(IDC_PORT_LIST, i);
        return;
    }
    window.SetText(IDC_PORT_LIST, shown);
}

}  // namespace zelvar
