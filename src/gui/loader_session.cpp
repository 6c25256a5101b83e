#include "gui/loader_session.h"

#include "base/shared_state.h"
#include "gui/image_browser.h"

namespace zelvar {

CLoaderSession::CLoaderSession(const SerialPortRoots& ports)
    : m_window(std::make_unique<CLoaderWindow>()),
      m_seam(std::make_shared<CQtMainWindow>(m_window.get())),
      m_dialog(std::make_unique<CLoaderDlg>(*m_seam)) {
    CLoaderWindow* window = m_window.get();
    m_dialog->SetBrowseFunction([window](std::string& path, const char* title, const char* filter) {
        return BrowseForImage(window, path, title, filter);
    });
    m_dialog->SetExtraPorts(DescribeSerialPorts(ports, FindSerialPorts(ports)));
    CLoaderDlg* dialog = m_dialog.get();
    m_window->SetEvents({
        .command = [dialog](int id) { dialog->OnCommand(id); },
        .ok = [dialog] { dialog->OnOk(); },
        .cancel = [dialog] { dialog->OnCancel(); },
        .closeRequest = [this] { OnCloseRequest(); },
    });
}

CLoaderSession::~CLoaderSession() {
    Finish();
}

void CLoaderSession::Start() {
    SetMainWindow(m_seam);
    m_dialog->OnInitDialog();
}

int CLoaderSession::Exec() {
    return m_window->exec();
}

void CLoaderSession::OnCloseRequest() {
    if (m_dialog->OnCloseRequest()) m_window->EndAsCancel();
}

void CLoaderSession::Finish() {
    if (m_finished) return;
    m_finished = true;
    // From here on a still-running worker's reports are dropped: the closing flag
    // releases any caller waiting for the window, and the seam is no longer reachable.
    m_seam->MarkClosing();
    if (GetMainWindow() == m_seam) SetMainWindow(nullptr);
    // The job itself is asked to end at its next wait; nobody waits for it.
    g_jobCancel = true;
    m_window->SetEvents({});
    m_dialog.reset();  // closes the log file
    m_window.reset();
}

}  // namespace zelvar
