// One run of the main dialog: the Qt window, the seam that the message log and the
// worker reach it through, and the toolkit-free handlers, wired together.
//
// Start makes the window the application's main window and initialises the dialog;
// Finish (also run by the destructor) drops the worker's later reports and detaches
// the window before it goes away.
#pragma once

#include <memory>

#include "app/loader_dialog.h"
#include "gui/loader_window.h"
#include "gui/qt_main_window.h"
#include "gui/serial_port_list.h"

namespace zelvar {

class CLoaderSession {
  public:
    explicit CLoaderSession(const SerialPortRoots& ports = SystemSerialPortRoots());
    ~CLoaderSession();
    CLoaderSession(const CLoaderSession&) = delete;
    CLoaderSession& operator=(const CLoaderSession&) = delete;

    void Start();
    // Runs the dialog modally (Start first); returns when it has been closed.
    int Exec();
    void Finish();

    CLoaderWindow& Window() { return *m_window; }
    CQtMainWindow& Seam() { return *m_seam; }
    CLoaderDlg& Dialog() { return *m_dialog; }

  private:
    void OnCloseRequest();

    std::unique_ptr<CLoaderWindow> m_window;
    std::shared_ptr<CQtMainWindow> m_seam;
    std::unique_ptr<CLoaderDlg> m_dialog;
    bool m_finished = false;
};

}  // namespace zelvar
