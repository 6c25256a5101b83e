#include "gui/common/loader_dialog.h"

#include "app/log_location.h"
#include "app/terminal.h"
#include "base/message_log.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"
#include "gui/common/job_controls.h"
#include "gui/common/loader_layout.h"
#include "gui/common/receiver_handlers.h"
#include "image/app_directory.h"

namespace zelvar {

std::atomic<int> g_defaultCommand{0};

namespace {

// The first chars characters (not bytes) of a UTF-8 text.
std::string FirstChars(const std::string& text, std::size_t chars) {
    return text.substr(0, Utf8CharPrefix(text, chars));
}

std::string ProgramDirectory() {
    char directory[kPathBytes] = {};
    return GetAppDirectory(directory) ? directory : "";
}

}  // namespace

// The default image beside the program when it is there (a copied program that came
// with its image), else in the user's current directory: an installed program's
// directory holds no image.
std::string DefaultImagePath(const std::string& programDirectory) {
    const std::string beside = programDirectory + kDefaultImageName;
    char current[kPathBytes] = {};
    if (PathExists(beside.c_str()) || !GetWorkingDirectory(current)) return beside;
    return current + std::string(kDefaultImageName);
}

CLoaderDlg::CLoaderDlg(IMainWindow& window) : m_window(window) {
    g_terminalMode = 0;
    g_defaultCommand = 0;
    // The Hex and Pause boxes start unchecked; their flags start with them.
    g_hexDisplay = 0;
    g_pauseDisplay = 0;
    m_logProblem = LogProblemText(OpenDefaultLogFile());
    SetJobControlsSwitch(SwitchJobControls);
}

CLoaderDlg::~CLoaderDlg() {
    SetJobControlsSwitch(nullptr);
    CloseLogFile();
}

bool CLoaderDlg::OnInitDialog() {
    std::string path = DefaultImagePath(ProgramDirectory());
    m_imagePath = path.substr(0, Utf8Prefix(path.c_str(), kPathBytes - 1));
    m_window.SetText(IDC_IMAGE_LIST, m_imagePath);
    m_window.ListReset(IDC_MESSAGE_LIST);
    if (!m_logProblem.empty()) LogLine(m_logProblem.c_str());
    ApplyModeLayout();
    FillLists(m_window, m_extraPorts);
    return true;
}

void CLoaderDlg::OnPortsChanged(std::vector<PortChoice> ports) {
    const std::string shown = m_window.GetText(IDC_PORT_LIST);
    m_extraPorts = std::move(ports);
    RefillPortList(m_window, m_extraPorts, shown);
}

// The port chosen in the list, or typed into it: a listed port by its label opens its
// device; anything else typed is a device path as it stands.
void CLoaderDlg::OnPortChosen() {
    const int selection = m_window.ListSelection(IDC_PORT_LIST);
    const std::string item = selection >= 0 ? m_window.ListItem(IDC_PORT_LIST, selection) : "";
    std::string chosen = m_window.GetText(IDC_PORT_LIST);
    if (chosen.empty()) chosen = item;
    for (const PortChoice& port : m_extraPorts) {
        if (port.label != chosen) continue;
        chosen = port.device;
        break;
    }
    // A listed name that is its own device: the list's own handler.
    if (chosen.empty() || chosen == item) return OnPortSelected(m_window);
    g_portName.Set(chosen.c_str());
    if (g_terminalMode) PostTerminalCommand(TermReopen);
}

void CLoaderDlg::ApplyModeLayout() {
    ApplyLayout(m_window, g_terminalMode.load() == 1, m_imagePath);
}

void CLoaderDlg::OnCommand(int id) {
    switch (id) {
        case IDC_LOAD:
            return OnLoad();
        case IDC_BROWSE_SEND:
            return OnBrowseOrSend();
        case IDC_MODE:
            return OnModeButton();
        case IDC_SPEED_LIST:
            return OnSpeedSelected();
        case IDC_HEX:
            return OnHexClicked();
        case IDC_PAUSE:
            return OnPauseClicked();
        case IDC_LOGO:
            return ShowAboutBox(m_window);
        case IDC_PORT_LIST:
            return OnPortChosen();
        case IDC_CONNECT:
            return OnConnectGps(m_window);
        case IDOK_COMMAND:
            return OnOk();
        case IDCANCEL_COMMAND:
        case IDC_CLOSE_AS_CANCEL:
            return OnCancel();
        default:
            return;
    }
}

void CLoaderDlg::OnLoad() {
    // The path is taken whole: cut short it would name another file. The upload refuses
    // a path too long for its reader.
    m_imagePath = m_window.GetText(IDC_IMAGE_LIST);
    m_window.ListReset(IDC_MESSAGE_LIST);
    m_window.Repaint(IDC_WINDOW);
    m_job.terminal = 0;
    m_job.imagePath = m_imagePath;
    m_job.portName = g_portName.Get();
    SetJobControls(false, false);
    StartJob(m_job);
}

void CLoaderDlg::OnBrowseOrSend() {
    if (g_terminalMode.load() == 1) {
        Send();
    } else {
        Browse();
    }
}

void CLoaderDlg::Browse() {
    std::string path = FirstChars(m_window.GetText(IDC_IMAGE_LIST), kImagePathChars);
    if (m_browse && m_browse(path, kBrowseTitle, kBrowseFilter)) {
        m_imagePath = path;  // whole, as the typed path
        m_window.SetText(IDC_IMAGE_LIST, m_imagePath);
    }
    // Confirmed or not, Enter now means "Connect GPS".
    m_window.SetFocus(IDC_CONNECT);
    g_defaultCommand = IDC_CONNECT;
}

void CLoaderDlg::Send() {
    // The text travels with its command (cut to fit the loop's send buffer), so a
    // second Send before the loop took the first cannot change or lose it.
    std::string text = FirstChars(m_window.GetText(IDC_IMAGE_LIST), kImagePathChars);
    PostTerminalCommand(TermSend, text.c_str());
}

void CLoaderDlg::OnModeButton() {
    m_window.ListReset(IDC_MESSAGE_LIST);
    if (g_terminalMode.load() == 1) {
        g_terminalMode = 0;
        PostTerminalCommand(TermStop);  // the loop closes the port and ends; no wait here
    } else {
        g_terminalMode = 1;
    }
    ApplyModeLayout();
    if (g_terminalMode.load() != 1) return;
    m_job.terminal = 1;
    m_job.portName = g_portName.Get();
    BeginTerminalSession(m_job.portName.c_str());
    StartTerminalJob(m_job);
    OnSpeedSelected();  // the loop's first command sets the line speed
}

void CLoaderDlg::OnSpeedSelected() {
    int index = m_window.ListSelection(IDC_SPEED_LIST);
    if (index < 0 || index >= kSpeedCount) return;
    g_terminalBaud = kSpeedBauds[index];
    PostTerminalCommand(kSpeedCommands[index]);
}

void CLoaderDlg::OnHexClicked() {
    g_hexDisplay.fetch_xor(1);
}

void CLoaderDlg::OnPauseClicked() {
    g_pauseDisplay.fetch_xor(1);
}

void CLoaderDlg::OnOk() {
    // Acts even when that button is disabled, as a sent click would.
    int command = g_defaultCommand.load();
    if (command != 0) OnCommand(command);
}

void CLoaderDlg::OnCancel() {
    if (ConfirmCloseWhileProgramming()) m_window.EndDialog();
}

bool CLoaderDlg::OnCloseRequest() {
    return ConfirmCloseWhileProgramming();
}

bool CLoaderDlg::ConfirmCloseWhileProgramming() {
    if (!g_uploadBusy.load()) return true;
    return m_window.AskUser(kCloseQuestion, kStrAppTitle, AskButtons::YesNo, AskIcon::None);
}

}  // namespace zelvar
