#include "gui/qt_main_window.h"

#include <QMessageBox>
#include <QThread>
#include <chrono>

#include "app/resource_ids.h"
#include "gui/about_dialog.h"
#include "gui/dialog_controls.h"

namespace zelvar {

namespace {

// The hand-over between the worker and the GUI thread. Shared, so that either side
// may be gone first.
template <typename Result>
struct CrossCall {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<Result> result;
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
    : m_window(window), m_guiThread(window->thread()) {}

void CQtMainWindow::MarkClosing() {
    *m_closing = true;
}

template <typename Result, typename Action>
Result CQtMainWindow::Call(Result fallback, Action action) {
    if (*m_closing) return fallback;
    if (QThread::currentThread() == m_guiThread) {
        return m_window ? action(m_window.data()) : fallback;
    }
    CLoaderWindow* window = m_window.data();
    if (!window) return fallback;
    auto call = std::make_shared<CrossCall<Result>>();
    // Runs on the GUI thread. It checks the closing flag itself: a caller that gave up
    // has returned and nothing may act on its behalf any more.
    auto task = [closing = m_closing, call, action,
                 guard = QPointer<CLoaderWindow>(window)]() mutable {
        Result result = (*closing || !guard) ? Result{} : action(guard.data());
        std::lock_guard lock(call->mutex);
        call->result = std::move(result);
        call->done.notify_all();
    };
    if (!QMetaObject::invokeMethod(window, std::move(task), Qt::QueuedConnection)) {
        return fallback;
    }
    std::unique_lock lock(call->mutex);
    while (!call->result) {
        if (*m_closing) return fallback;
        call->done.wait_for(lock, std::chrono::milliseconds(kCrossThreadPollMs));
    }
    return std::move(*call->result);
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
