#include "gui/qt/about_dialog.h"

#include <QPushButton>

#include "base/resource_ids.h"
#include "gui/qt/dialog_controls.h"
#include "gui/qt/dialog_units.h"
#include "gui/qt/loader_window.h"

namespace zelvar {

namespace {

// The receiver-side texts end their lines the handheld's way.
QString DisplayText(const std::string& text) {
    QString value = QString::fromStdString(text);
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return value;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    const DialogTemplate& tmpl = AboutDialogTemplate();
    QFont font = DialogFont(tmpl);
    CDialogUnits units(font);
    setObjectName(QStringLiteral("aboutDialog"));
    setFont(font);
    setWindowTitle(QString::fromUtf8(tmpl.caption));
    setWindowIcon(LoaderIcon());
    setFixedSize(units.DialogSize(tmpl));
    for (const ControlTemplate& control : tmpl.controls) CreateControl(control, units, this);
    if (auto* ok = qobject_cast<QPushButton*>(Control(IDC_ABOUT_OK))) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
}

QWidget* CAboutDlg::Control(int id) const {
    return findChild<QWidget*>(QStringLiteral("control%1").arg(id));
}

void CAboutDlg::ExchangeData() {
    SetControlText(Control(IDC_ABOUT_TITLE), m_title);
    if (QWidget* text = Control(IDC_ABOUT_TEXT)) {
        SetControlText(text, DisplayText(m_text).toStdString());
    }
}

int CAboutDlg::exec() {
    ExchangeData();
    return QDialog::exec();
}

}  // namespace zelvar
