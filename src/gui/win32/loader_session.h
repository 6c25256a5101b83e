// One run of the main dialog on Win32: the dialog window and its seam as the front end
// of the shared dialog session (gui/common/dialog_session.h).
#pragma once

#include <memory>

#include "gui/common/dialog_session.h"
#include "gui/win32/loader_window.h"
#include "gui/win32/win32_main_window.h"

namespace zelvar::win32 {

class CLoaderSession : private IDialogFrontEnd {
  public:
    CLoaderSession();
    ~CLoaderSession() override;
    CLoaderSession(const CLoaderSession&) = delete;
    CLoaderSession& operator=(const CLoaderSession&) = delete;

    // Creates the window, which starts the session (main window, dialog initialised).
    bool Create();
    // Runs the dialog until it is closed.
    void Exec() { m_window->RunModal(); }
    void Finish();

    CLoaderWindow& Window() { return *m_window; }
    CWin32MainWindow& Seam() { return *m_seam; }
    CLoaderDlg& Dialog() { return m_session->Dialog(); }

  private:
    class CJobEndSink;

    std::shared_ptr<IMainWindow> MainWindowSeam() override { return m_seam; }
    void SetEvents(DialogEvents events) override { m_window->SetEvents(std::move(events)); }
    void MarkClosing() override { m_seam->Detach(); }
    void EndAsCancel() override { m_window->EndAsCancel(); }
    bool BrowseForImage(std::string& path, const char* title, const char* filter) override;
    void DestroyWindow() override { m_window.reset(); }

    std::shared_ptr<CWin32MainWindow> m_seam;
    std::unique_ptr<CLoaderWindow> m_window;
    std::unique_ptr<CDialogSession> m_session;
    std::shared_ptr<CJobEndSink> m_jobEnd;
};

}  // namespace zelvar::win32
