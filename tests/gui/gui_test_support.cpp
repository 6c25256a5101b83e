#include "gui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <cstdlib>

#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "gui/qt/about_dialog.h"
#include "link/receiver_queries.h"

namespace zelvar::test {

namespace {

constexpr int kModalPollMs = 20;

}  // namespace

std::string UsePrivateRuntimeDir() {
    std::string pattern = "/tmp/zelvar-gui-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return {};
    setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1);
    return pattern + "/";
}

std::string ProgramDirectory() {
    return QCoreApplication::applicationDirPath().toStdString() + "/";
}

std::string ProgramLogPath() {
    return ProgramDirectory() + "Zelvar.txt";
}

QStringList LogLines(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(QStringLiteral("\r\n"))) text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

CModalAnswerer::CModalAnswerer() {
    connect(&m_timer, &QTimer::timeout, this, &CModalAnswerer::Poll);
    m_timer.start(kModalPollMs);
}

void CModalAnswerer::Expect(Handler handler) {
    m_handlers.push_back(std::move(handler));
}

void CModalAnswerer::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == m_busyWith || m_handlers.empty()) return;
    Handler handler = std::move(m_handlers.front());
    m_handlers.pop_front();
    ModalSeen seen;
    seen.className = QString::fromLatin1(modal->metaObject()->className());
    seen.title = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        seen.text = box->text();
        seen.icon = box->icon();
    }
    m_busyWith = modal;
    handler(modal, seen);
    m_seen.push_back(seen);
    m_busyWith = nullptr;
}

CModalAnswerer::Handler PressButton(QMessageBox::StandardButton button) {
    return [button](QWidget* modal, ModalSeen&) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (QAbstractButton* pressed = box->button(button)) {
                pressed->click();
                return;
            }
        }
        modal->close();
    };
}

CModalAnswerer::Handler ChooseFile(const QString& path) {
    return [path](QWidget* modal, ModalSeen& seen) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        seen.text = dialog->nameFilters().join(QLatin1Char('|'));
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    };
}

CModalAnswerer::Handler CloseAbout() {
    return [](QWidget* modal, ModalSeen& seen) {
        if (auto* about = qobject_cast<CAboutDlg*>(modal)) {
            auto* title = qobject_cast<QLabel*>(about->Control(IDC_ABOUT_TITLE));
            auto* text = qobject_cast<QPlainTextEdit*>(about->Control(IDC_ABOUT_TEXT));
            seen.text = (title ? title->text() : QString()) + QStringLiteral("|") +
                        (text ? text->toPlainText() : QString());
            about->accept();
            return;
        }
        modal->close();
    };
}

QWidget* ControlOf(CLoaderSession& session, int id) {
    return session.Window().Control(id);
}

QStringList ItemsOf(QWidget* control) {
    QStringList items;
    if (auto* list = qobject_cast<QListWidget*>(control)) {
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    }
    return items;
}

QString LastItem(QWidget* control) {
    QStringList items = ItemsOf(control);
    return items.isEmpty() ? QString() : items.last();
}

bool PickPort(CLoaderSession& session, const QString& text) {
    auto* combo = qobject_cast<QComboBox*>(ControlOf(session, IDC_PORT_LIST));
    int index = combo ? combo->findText(text) : -1;
    if (index < 0) return false;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    return true;
}

SerialPortRoots EmptyPortRoots(const std::string& root, const std::string& simLink) {
    SerialPortRoots roots;
    roots.dev = root + "no-dev";
    roots.sysClassTty = root + "no-sys";
    roots.simLink = simLink;
    return roots;
}

std::unique_ptr<CLoaderSession> ShowDialogOn(const std::string& root, const std::string& link) {
    g_receiverInfo = ReceiverInfo{};
    auto session = std::make_unique<CLoaderSession>(EmptyPortRoots(root, link));
    session->Start();
    session->Window().show();
    if (!QTest::qWaitForWindowExposed(&session->Window())) return nullptr;
    if (!PickPort(*session, QString::fromStdString(link)) || g_portName.Get() != link) {
        return nullptr;
    }
    return session;
}

}  // namespace zelvar::test
