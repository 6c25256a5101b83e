#include "gui/qt_main_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "base/resource_ids.h"
#include "gui/about_dialog.h"
#include "gui/dialog_controls.h"

namespace zelvar {

namespace {

// The event that tells the relay a task is queued; one type for every seam.
QEvent::Type TaskEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

// What the seam, its relay and the waiting callers share; whichever goes last takes it.
struct SeamGate {
    std::mutex mutex;
    // Notified when a task has been handled and when the gate closes.
    std::condition_variable changed;
    // The fields below up to the window are guarded by mutex.
    bool closing = false;
    QObject* relay = nullptr;  // posted to only while the gate is open
    std::deque<std::function<void(SeamGate&)>> tasks;
    // Read and written on the GUI thread only.
    QPointer<CLoaderWindow> window;
    const QEvent::Type taskEvent = TaskEventType();

    // Any thread. The queued tasks are destroyed outside the lock.
    void Close() {
        std::deque<std::function<void(SeamGate&)>> dropped;
        {
            std::lock_guard lock(mutex);
            closing = true;
            relay = nullptr;
            dropped.swap(tasks);
        }
        changed.notify_all();
    }

    bool IsClosing() {
        std::lock_guard lock(mutex);
        return closing;
    }

    // GUI thread: the window to act on, or nullptr once closing.
    CLoaderWindow* OpenWindow() { return IsClosing() ? nullptr : window.data(); }
};

namespace {

// Runs the queued tasks on the GUI thread, one per task event. A child of the window:
// it goes with it, and closes the gate before it does.
class CSeamRelay : public QObject {
  public:
    CSeamRelay(std::shared_ptr<SeamGate> gate, QObject* parent)
        : QObject(parent), m_gate(std::move(gate)) {}
    ~CSeamRelay() override { m_gate->Close(); }
    CSeamRelay(const CSeamRelay&) = delete;
    CSeamRelay& operator=(const CSeamRelay&) = delete;

  protected:
    bool event(QEvent* event) override {
        bool isTask = false;
        std::function<void(SeamGate&)> task;
        {
            // Taken before the event is looked at: the worker made the event and the
            // task under this lock, and the lock is what orders this thread after it.
            std::lock_guard lock(m_gate->mutex);
            isTask = event->type() == m_gate->taskEvent;
            // With the gate closed the task has been dropped already.
            if (isTask && !m_gate->closing && !m_gate->tasks.empty()) {
                task = std::move(m_gate->tasks.front());
                m_gate->tasks.pop_front();
            }
        }
        if (!isTask) return QObject::event(event);
        if (!task) return true;
        task(*m_gate);
        m_gate->changed.notify_all();
        return true;
    }

  private:
    std::shared_ptr<SeamGate> m_gate;
};

// One call handed to the GUI thread; its fields are guarded by the gate's mutex.
template <typename Result>
struct CrossCall {
    bool handled = false;
    std::optional<Result> result;  // empty when the window was gone by then
};

QMessageBox::Icon BoxIcon(AskIcon icon) {
    switch (icon) {
        case AskIcon::Information:
            return QMessageBox::Information;
        case AskIcon::Warning:
            return QMessageBox::Warning;
        case AskIcon::Error:
            return QMessageBox::Critical;
        case AskIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QString BoxText(const std::string& text) {
    QString value = QString::fromStdString(text);
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return value;
}

bool RunMessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                   AskButtons buttons, AskIcon icon) {
    QString title =
        caption.empty() ? QString::fromUtf8(kStrAppTitle) : QString::fromStdString(caption);
    QMessageBox box(BoxIcon(icon), title, BoxText(text), QMessageBox::NoButton, owner);
    if (buttons == AskButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    int answer = box.exec();
    return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
}

}  // namespace

CQtMainWindow::CQtMainWindow(CLoaderWindow* window)
    : m_guiThread(std::this_thread::get_id()), m_gate(std::make_shared<SeamGate>()) {
    Q_ASSERT(window->thread() == QThread::currentThread());
    m_gate->window = window;
    // Owned by the window; the gate only points at it while open.
    m_gate->relay = new CSeamRelay(m_gate, window);
}

CQtMainWindow::~CQtMainWindow() {
    m_gate->Close();
}

void CQtMainWindow::MarkClosing() {
    m_gate->Close();
    m_gate->window = nullptr;
}

bool CQtMainWindow::IsClosing() const {
    return m_gate->IsClosing();
}

template <typename Result, typename Action>
Result CQtMainWindow::Call(Result fallback, Action action) {
    SeamGate& gate = *m_gate;
    if (std::this_thread::get_id() == m_guiThread) {
        CLoaderWindow* window = gate.OpenWindow();
        return window ? action(window) : fallback;
    }
    auto call = std::make_shared<CrossCall<Result>>();
    std::unique_lock lock(gate.mutex);
    if (gate.closing || !gate.relay) return fallback;
    // Runs on the GUI thread. It looks at the gate again itself: a caller that was
    // released has returned and nothing may act on its behalf any more.
    gate.tasks.push_back([call, action](SeamGate& g) mutable {
        std::optional<Result> result;
        if (CLoaderWindow* window = g.OpenWindow()) result = action(window);
        std::lock_guard taskLock(g.mutex);
        call->result = std::move(result);
        call->handled = true;
    });
    // The relay is alive: it closes the gate, under this lock, before it goes.
    QCoreApplication::postEvent(gate.relay, new QEvent(gate.taskEvent));
    gate.changed.wait(lock, [&] { return call->handled || gate.closing; });
    return call->result ? std::move(*call->result) : fallback;
}

template <typename Action>
void CQtMainWindow::Do(Action action) {
    Call(false, [action](CLoaderWindow* window) mutable {
        action(window);
        return true;
    });
}

void CQtMainWindow::SetText(int id, std::string_view text) {
    Do([id, value = std::string(text)](CLoaderWindow* w) {
        SetControlText(w->Control(id), value);
    });
}

std::string CQtMainWindow::GetText(int id) {
    return Call(std::string(), [id](CLoaderWindow* w) { return ControlText(w->Control(id)); });
}

void CQtMainWindow::Enable(int id, bool enable) {
    Do([id, enable](CLoaderWindow* w) {
        if (QWidget* c = w->Control(id)) c->setEnabled(enable);
    });
}

bool CQtMainWindow::IsEnabled(int id) {
    return Call(false, [id](CLoaderWindow* w) {
        QWidget* c = w->Control(id);
        return c && !c->testAttribute(Qt::WA_Disabled);
    });
}

void CQtMainWindow::Show(int id, bool show) {
    Do([id, show](CLoaderWindow* w) {
        if (QWidget* c = w->Control(id)) c->setVisible(show);
    });
}

bool CQtMainWindow::IsShown(int id) {
    return Call(false, [id](CLoaderWindow* w) {
        QWidget* c = w->Control(id);
        return c && !c->isHidden();
    });
}

void CQtMainWindow::SetFocus(int id) {
    Do([id](CLoaderWindow* w) {
        if (QWidget* c = w->Control(id)) c->setFocus(Qt::OtherFocusReason);
    });
}

int CQtMainWindow::ListAdd(int id, std::string_view text) {
    return Call(-1, [id, value = std::string(text)](CLoaderWindow* w) {
        return ListAddItem(w->Control(id), value, w->IsSorted(id));
    });
}

void CQtMainWindow::ListDelete(int id, int index) {
    Do([id, index](CLoaderWindow* w) { ListDeleteItem(w->Control(id), index); });
}

void CQtMainWindow::ListSelect(int id, int index) {
    Do([id, index](CLoaderWindow* w) { ListSelectItem(w->Control(id), index); });
}

int CQtMainWindow::ListSelection(int id) {
    return Call(-1, [id](CLoaderWindow* w) { return ListSelectedItem(w->Control(id)); });
}

int CQtMainWindow::ListCount(int id) {
    return Call(0, [id](CLoaderWindow* w) { return ListItemCount(w->Control(id)); });
}

std::string CQtMainWindow::ListItem(int id, int index) {
    return Call(std::string(),
                [id, index](CLoaderWindow* w) { return ListItemText(w->Control(id), index); });
}

void CQtMainWindow::ListReset(int id) {
    Do([id](CLoaderWindow* w) { ListResetItems(w->Control(id)); });
}

void CQtMainWindow::Repaint(int id) {
    Do([id](CLoaderWindow* w) {
        if (QWidget* c = w->Control(id)) c->repaint();
    });
}

void CQtMainWindow::ShowProgress(int id, int percent) {
    Do([id, percent](CLoaderWindow* w) { w->ShowProgress(id, percent); });
}

bool CQtMainWindow::AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
                            AskIcon icon) {
    return Call(false,
                [value = std::string(text), title = std::string(caption), buttons,
                 icon](CLoaderWindow* w) { return RunMessageBox(w, value, title, buttons, icon); });
}

void CQtMainWindow::ShowAbout(std::string_view title, std::string_view text) {
    Do([heading = std::string(title), body = std::string(text)](CLoaderWindow* w) {
        CAboutDlg about(w);
        about.m_title = heading;
        about.m_text = body;
        about.exec();
    });
}

void CQtMainWindow::EndDialog() {
    Do([](CLoaderWindow* w) { w->EndAsCancel(); });
}

}  // namespace zelvar
