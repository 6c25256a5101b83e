// A main dialog on a headless window, its port list offering the test's devices.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/common/loader_dialog.h"
#include "program_log_lock.h"
#include "terminal_fixture.h"

namespace zelvar::test {

class DialogFixture {
  public:
    explicit DialogFixture(const std::vector<std::string>& ports) {
        ResetTerminalState();
        g_uploadBusy = false;
        SetMainWindow(m_window);
        m_dlg = std::make_unique<CLoaderDlg>(*m_window);
        m_dlg->SetExtraPorts(ports);
        m_dlg->OnInitDialog();
    }
    ~DialogFixture() {
        if (g_terminalMode == 1) m_dlg->OnModeButton();
        WaitFor([] { return ActiveTerminalSession() == 0 && RunningTerminalLoops() == 0; });
        m_dlg.reset();
        SetMainWindow(nullptr);
        ResetTerminalState();
    }
    CHeadlessWindow& W() { return *m_window; }
    CLoaderDlg& Dlg() { return *m_dlg; }

    // Picks entry index of the port list (0, 1: built-in; 2...: the test's ports).
    void SelectPort(int index) {
        W().ListSelect(IDC_PORT_LIST, index);
        m_dlg->OnCommand(IDC_PORT_LIST);
    }
    void Send(const std::string& command) {
        W().SetText(IDC_IMAGE_LIST, command);
        m_dlg->OnCommand(IDC_BROWSE_SEND);
    }
    void ToggleMode() { m_dlg->OnCommand(IDC_MODE); }
    bool HasLineStartingWith(const std::string& prefix) {
        for (const std::string& line : Lines(W())) {
            if (line.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }

  private:
    ProgramLogLock m_logLock;  // first: held until the dialog and its log are gone
    std::shared_ptr<CHeadlessWindow> m_window = std::make_shared<CHeadlessWindow>();
    std::unique_ptr<CLoaderDlg> m_dlg;
};

}  // namespace zelvar::test
