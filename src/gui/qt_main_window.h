// The main-window seam on Qt: the message log and the dialog handlers reach the
// loader window's controls through this object, from any thread.
//
// A call from the GUI thread acts at once. A call from another thread (the worker) is
// handed to the GUI thread and waits until it has been handled, as a sent window
// message did. Once the window is closing every call is dropped: a waiting caller is
// released and later callers return at once, so a worker that outlives the window
// never blocks on it.
//
// The hand-over: a worker never touches the window. It queues its task in a gate shared
// with a relay object (a child of the window, living on the GUI thread) and posts the
// relay an event, both while holding the gate's mutex and only while the gate is open.
// The GUI thread runs the task if the gate is still open and the window still there.
// The gate is closed under the same mutex by MarkClosing and, at the latest, by the
// relay's destructor, before the relay and the window go: from then on nothing posts to
// the relay, the tasks still queued are dropped and every waiting caller is woken.
#pragma once

#include <memory>
#include <thread>

#include "base/main_window.h"
#include "gui/loader_window.h"

namespace zelvar {

struct SeamGate;

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

    std::thread::id m_guiThread;
    // Shared with the relay, which may outlive this object, and the other way round.
    std::shared_ptr<SeamGate> m_gate;
};

}  // namespace zelvar
