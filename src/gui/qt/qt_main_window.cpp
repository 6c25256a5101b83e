#include "gui/qt/qt_main_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include "base/resource_ids.h"
#include "gui/qt/about_dialog.h"
#include "gui/qt/dialog_controls.h"

namespace zelvar {

namespace {

// The event that tells the relay a task is queued; one type for every seam.
QEvent::Type TaskEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

// What the tasks act on. window is read and written on the GUI thread only; relay is
// set once before any call and posted to only while the hand-over is open.
struct QtSeamTarget {
    QPointer<CLoaderWindow> window;
    QObject* relay = nullptr;
};

namespace {

// Runs one queued task on the GUI thread per task event. A child of the window: it goes
// with it, and closes the hand-over before it does.
class CSeamRelay : public QObject {
  public:
    CSeamRelay(std::shared_ptr<CSeamHandOver> handOver, QObject* parent)
        : QObject(parent), m_handOver(std::move(handOver)) {}
    ~CSeamRelay() override { m_handOver->Close(); }
    CSeamRelay(const CSeamRelay&) = delete;
    CSeamRelay& operator=(const CSeamRelay&) = delete;

  protected:
    bool event(QEvent* event) override {
        const bool isTask =
            m_handOver->UnderGateLock([event] { return event->type() == TaskEventType(); });
        if (!isTask) return QObject::event(event);
        m_handOver->RunNext();
        return true;
    }

  private:
    std::shared_ptr<CSeamHandOver> m_handOver;
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
    : m_target(std::make_shared<QtSeamTarget>()),
      m_handOver(std::make_shared<CSeamHandOver>([target = m_target] {
          QCoreApplication::postEvent(target->relay, new QEvent(TaskEventType()));
      })) {
    Q_ASSERT(window->thread() == QThread::currentThread());
    m_target->window = window;
    // Owned by the window; it closes the hand-over before it goes.
    m_target->relay = new CSeamRelay(m_handOver, window);
}

CQtMainWindow::~CQtMainWindow() {
    m_handOver->Close();
}

void CQtMainWindow::MarkClosing() {
    m_handOver->Close();
    m_target->window = nullptr;
}

bool CQtMainWindow::IsClosing() const {
    return m_handOver->IsClosing();
}

template <typename Result, typename Action>
Result CQtMainWindow::Call(Result fallback, Action action) {
    return m_handOver->Call(fallback, [target = m_target, fallback, action]() mutable {
        CLoaderWindow* window = target->window.data();
        return window ? action(window) : fallback;
    });
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
