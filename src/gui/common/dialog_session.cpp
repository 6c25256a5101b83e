#include "gui/common/dialog_session.h"

#include "base/shared_state.h"

namespace zelvar {

CDialogSession::CDialogSession(IDialogFrontEnd& frontEnd, std::vector<PortChoice> extraPorts)
    : m_frontEnd(frontEnd),
      m_seam(frontEnd.MainWindowSeam()),
      m_dialog(std::make_unique<CLoaderDlg>(*m_seam)) {
    m_dialog->SetBrowseFunction(
        [&frontEnd](std::string& path, const char* title, const char* filter) {
            return frontEnd.BrowseForImage(path, title, filter);
        });
    m_dialog->SetExtraPorts(std::move(extraPorts));
    CLoaderDlg* dialog = m_dialog.get();
    m_frontEnd.SetEvents({
        .command = [dialog](int id) { dialog->OnCommand(id); },
        .ok = [dialog] { dialog->OnOk(); },
        .cancel = [dialog] { dialog->OnCancel(); },
        .closeRequest = [this] { OnCloseRequest(); },
    });
}

CDialogSession::~CDialogSession() {
    Finish();
}

void CDialogSession::Start() {
    SetMainWindow(m_seam);
    m_dialog->OnInitDialog();
}

void CDialogSession::OnCloseRequest() {
    if (m_dialog->OnCloseRequest()) m_frontEnd.EndAsCancel();
}

void CDialogSession::Finish() {
    if (m_finished) return;
    m_finished = true;
    m_frontEnd.MarkClosing();
    if (GetMainWindow() == m_seam) SetMainWindow(nullptr);
    // The job itself is asked to end at its next wait; nobody waits for it.
    g_jobCancel = true;
    m_frontEnd.SetEvents({});
    m_dialog.reset();  // closes the log file
    m_frontEnd.DestroyWindow();
}

}  // namespace zelvar
