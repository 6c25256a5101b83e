// The main dialog's window (template 102) on Win32: the dialog resource brought up
// with its icons, logo, progress display and taskbar button. It hands every command,
// OK, Cancel and close request to the dialog handlers through DialogEvents and never
// decides anything itself.
#pragma once

#include <windows.h>
// The Windows headers first; this one needs its types.
#include <shobjidl.h>

#include <functional>

#include "gui/common/dialog_events.h"

namespace zelvar::win32 {

class CWin32MainWindow;

class CLoaderWindow {
  public:
    explicit CLoaderWindow(CWin32MainWindow& seam);
    ~CLoaderWindow();
    CLoaderWindow(const CLoaderWindow&) = delete;
    CLoaderWindow& operator=(const CLoaderWindow&) = delete;

    void SetEvents(DialogEvents events) { m_events = std::move(events); }
    // Called when the system's set of devices changed (an adapter came or went).
    void SetDevicesChanged(std::function<void()> changed) { m_devicesChanged = std::move(changed); }

    // Creates the dialog; onInit runs once its controls exist (WM_INITDIALOG). False
    // when the window could not be made.
    bool Create(std::function<void()> onInit);
    // Runs the dialog's message loop until EndAsCancel; then the window is destroyed.
    void RunModal();
    void EndAsCancel();
    void Destroy();

    HWND Handle() const { return m_handle; }
    // The control with id (IDC_WINDOW: the dialog itself), or nullptr.
    HWND Control(int id) const;

    // The share of a job done: control id's background fills from the left, the title
    // leads with the percentage and the taskbar button shows it (kNoProgress: none).
    void ShowProgress(int id, int percent);
    int ShownProgress() const { return m_progress; }
    void ShowJobEnd(bool success);

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void OnCommand(int id, int code);
    HBRUSH ProgressBrush(HDC dc, HWND control);
    void SetTaskbarProgress();

    CWin32MainWindow& m_seam;
    HWND m_handle = nullptr;
    DialogEvents m_events;
    std::function<void()> m_devicesChanged;
    std::function<void()> m_onInit;
    bool m_ended = false;
    bool m_portTyped = false;  // the port list's text was typed since the last choice
    int m_progress;
    int m_progressId = 0;     // the control that shows it
    bool m_failed = false;    // the last job failed: the taskbar shows the error
    HBRUSH m_fill = nullptr;  // the progress control's current background
    HBITMAP m_logo = nullptr;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    ITaskbarList3* m_taskbar = nullptr;
    UINT m_taskbarCreated;
};

}  // namespace zelvar::win32
