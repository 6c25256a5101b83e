// One run of the main dialog on Qt: the loader window and its seam as the front end of
// the shared dialog session (gui/common/dialog_session.h), which wires them to the
// toolkit-free handlers and takes everything apart in its order.
#pragma once

#include <memory>

#include "gui/common/dialog_session.h"
#include "gui/common/serial_port_list.h"
#include "gui/qt/loader_window.h"
#include "gui/qt/qt_main_window.h"

namespace zelvar {

class CLoaderSession : private IDialogFrontEnd {
  public:
    explicit CLoaderSession(const SerialPortRoots& ports = SystemSerialPortRoots());
    ~CLoaderSession() override;
    CLoaderSession(const CLoaderSession&) = delete;
    CLoaderSession& operator=(const CLoaderSession&) = delete;

    void Start() { m_session->Start(); }
    // Runs the dialog modally (Start first); returns when it has been closed.
    int Exec();
    void Finish() { m_session->Finish(); }

    CLoaderWindow& Window() { return *m_window; }
    CQtMainWindow& Seam() { return *m_seam; }
    CLoaderDlg& Dialog() { return m_session->Dialog(); }

  private:
    std::shared_ptr<IMainWindow> MainWindowSeam() override { return m_seam; }
    void SetEvents(DialogEvents events) override { m_window->SetEvents(std::move(events)); }
    void MarkClosing() override { m_seam->MarkClosing(); }
    void EndAsCancel() override { m_window->EndAsCancel(); }
    bool BrowseForImage(std::string& path, const char* title, const char* filter) override;
    void DestroyWindow() override { m_window.reset(); }

    std::unique_ptr<CLoaderWindow> m_window;
    std::shared_ptr<CQtMainWindow> m_seam;
    std::unique_ptr<CDialogSession> m_session;
};

}  // namespace zelvar
