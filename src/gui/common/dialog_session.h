// One run of the main dialog, whatever the toolkit: the front end's window and seam,
// and the toolkit-free handlers, wired together and taken apart in a fixed order.
//
// Start makes the seam the application's main window and initialises the dialog.
// Finish (also run by the destructor) first closes the seam, so that a still-running
// worker's later reports are dropped and a waiting one is released, then detaches the
// seam, asks the job to end at its next wait, unhooks the window's events, destroys the
// dialog (which closes the log file) and last the window.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/main_window.h"
#include "gui/common/dialog_events.h"
#include "gui/common/loader_dialog.h"
#include "gui/common/loader_layout.h"

namespace zelvar {

// What only the toolkit can do for a dialog run.
class IDialogFrontEnd {
  public:
    virtual ~IDialogFrontEnd() = default;
    // The seam the handlers and the worker reach the window through.
    virtual std::shared_ptr<IMainWindow> MainWindowSeam() = 0;
    // The window hands its commands, OK, Cancel and close requests to these.
    virtual void SetEvents(DialogEvents events) = 0;
    // Every later seam call is dropped and waiting callers are released.
    virtual void MarkClosing() = 0;
    // Ends the modal run as Cancel.
    virtual void EndAsCancel() = 0;
    // The save-kind file dialog (see CLoaderDlg::BrowseFunction).
    virtual bool BrowseForImage(std::string& path, const char* title, const char* filter) = 0;
    // Destroys the window; the seam stays closed.
    virtual void DestroyWindow() = 0;
};

class CDialogSession {
  public:
    CDialogSession(IDialogFrontEnd& frontEnd, std::vector<PortChoice> extraPorts);
    ~CDialogSession();
    CDialogSession(const CDialogSession&) = delete;
    CDialogSession& operator=(const CDialogSession&) = delete;

    void Start();
    void Finish();

    CLoaderDlg& Dialog() { return *m_dialog; }

  private:
    void OnCloseRequest();

    IDialogFrontEnd& m_frontEnd;
    std::shared_ptr<IMainWindow> m_seam;
    std::unique_ptr<CLoaderDlg> m_dialog;
    bool m_finished = false;
};

}  // namespace zelvar
