// Helpers of the GUI tests: a private runtime directory, answering the modal windows
// the dialog opens while a test waits, reading controls and the log. Test images and the
// simulated receiver come from the shared helpers (support/).
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/qt/loader_session.h"
#include "support/image_recipes.h"

#ifdef ZELVAR_HAVE_SIM
#include "support/sim_start.h"
#endif

namespace zelvar::test {

// Points XDG_RUNTIME_DIR at a fresh directory of this process (instance lock, SFLD
// temporary file, simulator link) and returns it, with a trailing '/'.
std::string UsePrivateRuntimeDir();

// The directory of the test program (where the dialog writes "Zelvar.txt").
std::string ProgramDirectory();
std::string ProgramLogPath();
// The log file's lines without their CR LF.
QStringList LogLines(const std::string& path);

// What a modal window showed when it was answered.
struct ModalSeen {
    QString className;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Watches for modal windows while the event loop runs (also inside nested loops) and
// hands each to the next queued handler, which closes it.
class CModalAnswerer : public QObject {
  public:
    using Handler = std::function<void(QWidget* modal, ModalSeen& seen)>;
    CModalAnswerer();

    void Expect(Handler handler);
    // Forgets the queued handlers and what was seen.
    void Clear() {
        m_handlers.clear();
        m_seen.clear();
    }
    const std::vector<ModalSeen>& Seen() const { return m_seen; }
    int Pending() const { return static_cast<int>(m_handlers.size()); }

  private:
    void Poll();
    QTimer m_timer;
    std::deque<Handler> m_handlers;
    std::vector<ModalSeen> m_seen;
    QWidget* m_busyWith = nullptr;
};

// Handlers: press a message box button; accept a file dialog with path (or cancel it
// when path is empty); close an About box.
CModalAnswerer::Handler PressButton(QMessageBox::StandardButton button);
CModalAnswerer::Handler ChooseFile(const QString& path);
CModalAnswerer::Handler CloseAbout();

// Widgets and lists of a session.
QWidget* ControlOf(CLoaderSession& session, int id);
QStringList ItemsOf(QWidget* control);
QString LastItem(QWidget* control);
// The user picks the entry text in the port list (false when it is not offered).
bool PickPort(CLoaderSession& session, const QString& text);

// Port roots with no devices; simLink offered when not empty.
SerialPortRoots EmptyPortRoots(const std::string& root, const std::string& simLink);

// A dialog shown (on an empty device root under root) that offers link and has it
// picked, with the last connect forgotten; nullptr when it could not be brought so far.
std::unique_ptr<CLoaderSession> ShowDialogOn(const std::string& root, const std::string& link);

}  // namespace zelvar::test
