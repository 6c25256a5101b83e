#include "gui/qt/loader_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

#include "base/main_window.h"
#include "base/resource_ids.h"
#include "gui/common/progress_title.h"
#include "gui/qt/dialog_controls.h"
#include "gui/qt/loader_resources.h"
#include "gui/qt/progress_fill.h"

namespace zelvar {

CLoaderWindow::CLoaderWindow(QWidget* parent)
    : QDialog(parent), m_units(DialogFont(MainDialogTemplate())), m_progress(kNoProgress) {
    InitLoaderResources();
    const DialogTemplate& tmpl = MainDialogTemplate();
    setObjectName(QStringLiteral("loaderDialog"));
    setFont(DialogFont(tmpl));
    setWindowTitle(QString::fromUtf8(tmpl.caption));
    setWindowIcon(LoaderIcon());
    setFixedSize(m_units.DialogSize(tmpl));
    CreateControls();
    SetLogo();
}

void CLoaderWindow::CreateControls() {
    QWidget* previous = nullptr;
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        QWidget* widget = CreateControl(control, m_units, this);
        m_controls[control.id] = widget;
        ConnectControl(control.id, widget);
        if (!(control.style & StyleTabStop)) continue;
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
}

void CLoaderWindow::ConnectControl(int id, QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { SendCommand(id); });
    } else if (auto* logo = qobject_cast<CClickableLabel*>(widget)) {
        connect(logo, &CClickableLabel::clicked, this, [this, id] { SendCommand(id); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget); combo && !combo->isEditable()) {
        // Only the user's choice notifies, as the old list did; filling it does not.
        connect(combo, &QComboBox::activated, this, [this, id] { SendCommand(id); });
    } else if (combo && id == IDC_PORT_LIST) {
        // The port list takes a typed device path too: a choice from the list and the
        // end of typing (Enter, or leaving the field for Connect GPS) notify.
        connect(combo, &QComboBox::activated, this, [this, id] { SendCommand(id); });
        QLineEdit* edit = combo->lineEdit();
        connect(edit, &QLineEdit::editingFinished, this, [this, id, edit] {
            if (!edit->isModified()) return;  // only a typed change is a new choice
            edit->setModified(false);
            SendCommand(id);
        });
    }
}

void CLoaderWindow::SetLogo() {
    auto* logo = qobject_cast<QLabel*>(Control(IDC_LOGO));
    if (!logo) return;
    QSize room = logo->contentsRect().size();
    logo->setPixmap(LoaderLogo().scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setCursor(Qt::PointingHandCursor);
    logo->setToolTip(QStringLiteral("About"));
}

QWidget* CLoaderWindow::Control(int id) const {
    if (id == IDC_WINDOW) return const_cast<CLoaderWindow*>(this);
    auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

bool CLoaderWindow::IsSorted(int id) const {
    const ControlTemplate* control = FindControl(MainDialogTemplate(), id);
    return control && (control->style & StyleSorted);
}

void CLoaderWindow::SendCommand(int id) {
    if (m_events.command) m_events.command(id);
}

void CLoaderWindow::EndAsCancel() {
    done(QDialog::Rejected);
}

void CLoaderWindow::ShowProgress(int id, int percent) {
    QWidget* control = Control(id);
    if (!control || control == this) return;
    auto plain = m_plainBase.find(id);
    if (plain == m_plainBase.end()) {
        plain = m_plainBase.emplace(id, control->palette().brush(QPalette::Base)).first;
    }
    ShowProgressFill(control, plain->second, percent);
    if (percent != m_progress) {
        m_progress = percent;
        setWindowTitle(
            QString::fromStdString(ProgressTitle(MainDialogTemplate().caption, percent)));
    }
}

void CLoaderWindow::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier)) {
        QDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            if (m_events.ok) m_events.ok();
            return;
        case Qt::Key_Escape:
            event->accept();
            if (m_events.cancel) m_events.cancel();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CLoaderWindow::reject() {
    // Every other way of cancelling the dialog goes to the Cancel handler as well.
    if (m_events.cancel) {
        m_events.cancel();
    } else {
        QDialog::reject();
    }
}

void CLoaderWindow::closeEvent(QCloseEvent* event) {
    // The handler decides; it ends the dialog itself when the close goes ahead.
    event->ignore();
    if (m_events.closeRequest) {
        m_events.closeRequest();
    } else {
        EndAsCancel();
    }
}

void CLoaderWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_centred) return;
    m_centred = true;
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

QIcon LoaderIcon() {
    InitLoaderResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/zelvar/icon-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/zelvar/icon-64.png"), QSize(64, 64));
    return icon;
}

QPixmap LoaderLogo() {
    InitLoaderResources();
    return QPixmap(QStringLiteral(":/zelvar/logo.png"));
}

}  // namespace zelvar
