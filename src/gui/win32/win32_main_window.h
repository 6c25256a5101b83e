// The main-window seam on Win32: the message log, the dialog handlers and the worker
// reach the dialog's controls through this object, by their control ids.
//
// Calls on the dialog's thread act at once. A call from another thread (the worker) is
// handed over (gui/common/seam_handover.h) with a posted kTaskMessage, which the dialog
// procedure answers with RunTask; the worker itself never touches a window. Detach (at
// WM_DESTROY, before the window handle goes) closes the hand-over for good.
#pragma once

#include <windows.h>

#include <memory>

#include "base/main_window.h"
#include "gui/common/seam_handover.h"

namespace zelvar::win32 {

constexpr UINT kTaskMessage = WM_APP + 1;

class CLoaderWindow;

class CWin32MainWindow : public IMainWindow {
  public:
    // Made on the dialog's thread before the dialog exists.
    CWin32MainWindow();
    ~CWin32MainWindow() override;
    CWin32MainWindow(const CWin32MainWindow&) = delete;
    CWin32MainWindow& operator=(const CWin32MainWindow&) = delete;

    // Dialog's thread: the window the calls act on, from WM_INITDIALOG on.
    void Attach(CLoaderWindow* window);
    void Detach();
    void RunTask() { m_handOver->RunNext(); }
    bool IsClosing() const { return m_handOver->IsClosing(); }

    // The taskbar button shows the error state until the next job shows progress.
    void ShowJobEnd(bool success);

    void SetText(int id, std::string_view text) override;
    std::string GetText(int id) override;
    void Enable(int id, bool enable) override;
    bool IsEnabled(int id) override;
    void Show(int id, bool show) override;
    bool IsShown(int id) override;
    void SetFocus(int id) override;
    int ListAdd(int id, std::string_view text) override;
    void ListDelete(int id, int index) override;
    void ListSelect(int id, int index) override;
    int ListSelection(int id) override;
    int ListCount(int id) override;
    std::string ListItem(int id, int index) override;
    void ListReset(int id) override;
    void Repaint(int id) override;
    void ShowProgress(int id, int percent) override;
    bool AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
                 AskIcon icon) override;
    void ShowAbout(std::string_view title, std::string_view text) override;
    void EndDialog() override;

  private:
    struct Target;
    // Runs action(window) on the dialog's thread; fallback once the window is gone.
    template <typename Result, typename Action>
    Result Call(Result fallback, Action action);
    template <typename Action>
    void Do(Action action);

    std::shared_ptr<Target> m_target;
    std::shared_ptr<CSeamHandOver> m_handOver;
};

}  // namespace zelvar::win32
