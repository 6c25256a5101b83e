// The main-window seam on Qt: the message log and the dialog handlers reach the
// loader window's controls through this object, from any thread.
//
// A call from the GUI thread acts at once; a call from another thread (the worker) is
// handed to the GUI thread through the shared hand-over (gui/common/seam_handover.h),
// whose wake posts an event to a relay object (a child of the window, living on the GUI
// thread). The relay closes the hand-over before it and the window go.
#pragma once

#include <memory>

#include "base/main_window.h"
#include "gui/common/seam_handover.h"
#include "gui/qt/loader_window.h"

namespace zelvar {

struct QtSeamTarget;

class CQtMainWindow : public IMainWindow {
  public:
    // Made on the window's thread, which is the GUI thread from then on.
    explicit CQtMainWindow(CLoaderWindow* window);
    ~CQtMainWindow() override;
    CQtMainWindow(const CQtMainWindow&) = delete;
    CQtMainWindow& operator=(const CQtMainWindow&) = delete;

    // From now on every call is dropped and waiting callers are released. Called on the
    // GUI thread when the modal run ends, before the window goes away (destroying the
    // window closes the seam as well).
    void MarkClosing();
    bool IsClosing() const;

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
    // Runs action(window) on the GUI thread and returns its result; returns fallback
    // when the window is closing or gone. action must own everything it uses.
    template <typename Result, typename Action>
    Result Call(Result fallback, Action action);
    template <typename Action>
    void Do(Action action);

    // Shared with the relay and the queued tasks, which may outlive this object.
    std::shared_ptr<QtSeamTarget> m_target;
    std::shared_ptr<CSeamHandOver> m_handOver;
};

}  // namespace zelvar
