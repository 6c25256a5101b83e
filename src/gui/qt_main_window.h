// The main-window seam on Qt: the message log and the dialog handlers reach the
// loader window's controls through this object, from any thread.
//
// A call from the GUI thread acts at once. A call from another thread (the worker) is
// handed to the GUI thread and waits until it has been handled, as a sent window
// message did. Once the window is closing every call is dropped: a waiting caller is
// released and later callers return at once, so a worker that outlives the window
// never blocks on it.
#pragma once

#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "app/main_window.h"
#include "gui/loader_window.h"

class QThread;

namespace zelvar {

// How often a waiting caller looks at the closing flag (milliseconds).
constexpr int kCrossThreadPollMs = 50;

class CQtMainWindow : public IMainWindow {
  public:
    explicit CQtMainWindow(CLoaderWindow* window);

    // From now on every call is dropped. Called on the GUI thread when the modal run
    // ends, before the window goes away.
    void MarkClosing();
    bool IsClosing() const { return m_closing->load(); }

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

    QPointer<CLoaderWindow> m_window;
    QThread* m_guiThread;
    // Shared with the tasks in flight, which may outlive this object.
    std::shared_ptr<std::atomic<bool>> m_closing = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace zelvar
