// The main dialog on Qt: its start state, both layouts, Enter before and after a
// browse, and the image browser.
#include <pty.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/terminal.h"
#include "base/loader_events.h"
#include "base/message_log.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "base/terminal_commands.h"
#include "gui/common/dialog_template.h"
#include "gui/common/loader_dialog.h"
#include "gui/qt/image_browser.h"
#include "gui/qt/progress_fill.h"
#include "gui_test_support.h"

using namespace zelvar;
using namespace zelvar::test;

namespace {

const QStringList kSpeeds = {"9600", "19200", "57600", "115200", "4800"};
const QStringList kPresets = {
    "$PQRXQ,RID",          "$PQRXQ,PRT",          "$PQRXQ,POS",           "$PQRXQ,PAR",
    "$PQRXS,SPD,A,8",      "$PQRXS,SPD,B,8",      "$PQRXQ,RDM,207ffc",    "$PQRXS,INI,8,8,,,1",
    "$PQRXS,INI,8,4,,,5",  "@ 24 24 0 7 A 0 D",   "$PQRXS,NME,ALL,A,OFF", "$PQRXS,NME,ALL,B,OFF",
    "$PQRXS,NME,POS,A,ON", "$PQRXS,NME,POS,B,ON", "$PQRXS,NME,SAT,A,ON",  "$PQRXS,NME,SAT,B,ON"};

QString TextOf(CLoaderSession& session, int id) {
    return QString::fromStdString(session.Seam().GetText(id));
}

bool Shown(CLoaderSession& session, int id) {
    return !ControlOf(session, id)->isHidden();
}

bool Enabled(CLoaderSession& session, int id) {
    return ControlOf(session, id)->isEnabled();
}

// The colour of control's background at share of its width, on its middle row.
QColor BackgroundAt(QWidget* control, double share) {
    const QImage picture = control->grab().toImage();
    return picture.pixelColor(int(picture.width() * share), picture.height() / 2);
}

}  // namespace

class TestLoaderDialog : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { UsePrivateRuntimeDir(); }

    void init() {
        g_portName.Set("GPS1:");
        m_session =
            std::make_unique<CLoaderSession>(EmptyPortRoots(m_dir.path().toStdString() + "/", ""));
        m_session->Start();
        m_session->Window().show();
        m_session->Window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_session->Window()));
    }

    void cleanup() {
        m_answerer.Clear();
        m_session.reset();
        g_portName.Set("GPS1:");
    }

    void startStateIsLoaderMode() {
        CLoaderSession& s = *m_session;
        QCOMPARE(s.Window().windowTitle(), QStringLiteral("GPS firmware loader 1.12"));
        QCOMPARE(TextOf(s, IDC_IMAGE_LABEL), QStringLiteral("Select FW Image"));
        const QString image = QString::fromStdString(DefaultImagePath(ProgramDirectory()));
        QCOMPARE(ItemsOf(ControlOf(s, IDC_IMAGE_LIST)), QStringList{image});
        QCOMPARE(TextOf(s, IDC_IMAGE_LIST), image);
        QCOMPARE(TextOf(s, IDC_BROWSE_SEND), QStringLiteral("..."));
        QVERIFY(Enabled(s, IDC_BROWSE_SEND));
        QVERIFY(Enabled(s, IDC_CONNECT));
        QVERIFY(!Enabled(s, IDC_LOAD));
        QVERIFY(Shown(s, IDC_STATUS));
        for (int id : {IDC_SPEED_LIST, IDC_HEX, IDC_PAUSE, IDC_MODE, IDC_MODE_LABEL}) {
            QVERIFY2(!Shown(s, id), qPrintable(QString::number(id)));
        }
        QCOMPARE(TextOf(s, IDC_MODE), QStringLiteral("Loader"));
        QCOMPARE(TextOf(s, IDC_MODE_LABEL), QStringLiteral("Mode"));
        QCOMPARE(ItemsOf(ControlOf(s, IDC_SPEED_LIST)), kSpeeds);
        QCOMPARE(TextOf(s, IDC_SPEED_LIST), QStringLiteral("4800"));
        QCOMPARE(ItemsOf(ControlOf(s, IDC_PORT_LIST)), (QStringList{"GPS1:", "GPS2:"}));
        QCOMPARE(TextOf(s, IDC_PORT_LIST), QStringLiteral("GPS1:"));
        QCOMPARE(QString::fromStdString(g_portName.Get()), QStringLiteral("GPS1:"));
        QVERIFY(ItemsOf(ControlOf(s, IDC_MESSAGE_LIST)).isEmpty());
        QVERIFY(!qobject_cast<QCheckBox*>(ControlOf(s, IDC_HEX))->isChecked());
        QVERIFY(!qobject_cast<QCheckBox*>(ControlOf(s, IDC_PAUSE))->isChecked());
        QVERIFY(!qobject_cast<QLabel*>(ControlOf(s, IDC_LOGO))->pixmap().isNull());
        QVERIFY(!s.Window().windowIcon().isNull());
    }

    void controlsFollowTheTemplate() {
        CLoaderSession& s = *m_session;
        const DialogTemplate& tmpl = MainDialogTemplate();
        QList<QWidget*> tabStops;
        for (const ControlTemplate& control : tmpl.controls) {
            QWidget* widget = ControlOf(s, control.id);
            QVERIFY(widget);
            QCOMPARE(widget->geometry().topLeft(),
                     s.Window().Units().ToPixels(control.rect).topLeft());
            if (control.style & StyleTabStop) tabStops << widget;
        }
        // Tab goes through the tab stops in template order and comes back round.
        for (qsizetype i = 0; i < tabStops.size(); ++i) {
            QWidget* next = tabStops[i]->nextInFocusChain();
            while (next != tabStops[(i + 1) % tabStops.size()] && !tabStops.contains(next) &&
                   next != tabStops[i]) {
                next = next->nextInFocusChain();
            }
            QCOMPARE(next, tabStops[(i + 1) % tabStops.size()]);
        }
        // The dialog is sized for a desktop, not a handheld.
        QVERIFY(s.Window().width() >= 300 && s.Window().height() >= 300);
        auto* image = qobject_cast<QComboBox*>(ControlOf(s, IDC_IMAGE_LIST));
        QVERIFY(image->isEditable());
        QVERIFY(!qobject_cast<QComboBox*>(ControlOf(s, IDC_SPEED_LIST))->isEditable());
        // The port list takes a typed device path as well.
        QVERIFY(qobject_cast<QComboBox*>(ControlOf(s, IDC_PORT_LIST))->isEditable());
    }

    void modeSwitchAppliesBothLayouts() {
        CLoaderSession& s = *m_session;
        int master = -1;
        int slave = -1;
        char name[256] = {};
        QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
        close(slave);
        g_portName.Set(name);  // the terminal job opens this line
        s.Seam().ListAdd(IDC_MESSAGE_LIST, "old line");

        auto* mode = qobject_cast<QPushButton*>(ControlOf(s, IDC_MODE));
        mode->click();
        QCOMPARE(g_terminalMode.load(), 1);
        QTRY_COMPARE(RunningTerminalLoops(), 1);
        QVERIFY(ItemsOf(ControlOf(s, IDC_MESSAGE_LIST)).isEmpty());
        QCOMPARE(TextOf(s, IDC_IMAGE_LABEL), QStringLiteral("GPS Command"));
        QCOMPARE(TextOf(s, IDC_BROWSE_SEND), QStringLiteral("Send"));
        QCOMPARE(TextOf(s, IDC_MODE), QStringLiteral("Terminal"));
        QStringList sorted = kPresets;
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(ItemsOf(ControlOf(s, IDC_IMAGE_LIST)), sorted);
        QVERIFY(!Enabled(s, IDC_CONNECT));
        QVERIFY(!Enabled(s, IDC_LOAD));
        QVERIFY(Enabled(s, IDC_IMAGE_LIST));
        QVERIFY(!Shown(s, IDC_STATUS));
        QVERIFY(Shown(s, IDC_SPEED_LIST) && Shown(s, IDC_HEX) && Shown(s, IDC_PAUSE));
        QVERIFY(!Shown(s, IDC_MODE));  // the switch stays hidden in both modes

        s.Seam().Enable(IDC_LOAD, true);
        mode->click();
        QCOMPARE(g_terminalMode.load(), 0);
        QCOMPARE(TextOf(s, IDC_IMAGE_LABEL), QStringLiteral("Select FW Image"));
        QCOMPARE(TextOf(s, IDC_BROWSE_SEND), QStringLiteral("..."));
        QCOMPARE(TextOf(s, IDC_MODE), QStringLiteral("Loader"));
        QCOMPARE(ItemsOf(ControlOf(s, IDC_IMAGE_LIST)),
                 QStringList{QString::fromStdString(s.Dialog().ImagePath())});
        QVERIFY(Enabled(s, IDC_CONNECT));
        QVERIFY(!Enabled(s, IDC_LOAD));
        QVERIFY(Shown(s, IDC_STATUS));
        QVERIFY(!Shown(s, IDC_SPEED_LIST) && !Shown(s, IDC_HEX) && !Shown(s, IDC_PAUSE));
        QTRY_COMPARE(RunningTerminalLoops(), 0);  // the loop has let go of the line
        close(master);
    }

    void controlsSendTheirCommands() {
        CLoaderSession& s = *m_session;
        QTest::mouseClick(ControlOf(s, IDC_HEX), Qt::LeftButton);
        QCOMPARE(g_hexDisplay.load(), 1);
        QTest::mouseClick(ControlOf(s, IDC_HEX), Qt::LeftButton);
        QCOMPARE(g_hexDisplay.load(), 0);
        QTest::mouseClick(ControlOf(s, IDC_PAUSE), Qt::LeftButton);
        QCOMPARE(g_pauseDisplay.load(), 1);
        QVERIFY(qobject_cast<QCheckBox*>(ControlOf(s, IDC_PAUSE))->isChecked());

        auto* speeds = qobject_cast<QComboBox*>(ControlOf(s, IDC_SPEED_LIST));
        speeds->setCurrentIndex(1);  // filling or setting the list is no user choice
        QCOMPARE(g_terminalBaud.load(), 4800);
        emit speeds->activated(1);
        QCOMPARE(g_terminalBaud.load(), 19200);

        QVERIFY(PickPort(s, QStringLiteral("GPS2:")));
        QCOMPARE(QString::fromStdString(g_portName.Get()), QStringLiteral("GPS2:"));
    }

    void enterActsOnlyAfterBrowse_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("browse confirmed") << true;
        QTest::newRow("browse cancelled") << false;
    }

    void enterActsOnlyAfterBrowse() {
        QFETCH(bool, confirm);
        CLoaderSession& s = *m_session;
        PickPort(s, QStringLiteral("GPS2:"));  // no such device here: Connect reports it
        auto* image = qobject_cast<QComboBox*>(ControlOf(s, IDC_IMAGE_LIST));
        const QString before = image->currentText();

        // Enter with the focus in the image field, then on a button: nothing happens.
        m_answerer.Expect(PressButton(QMessageBox::Ok));
        image->lineEdit()->setFocus();
        QTest::keyClick(image->lineEdit(), Qt::Key_Return);
        QTest::keyClick(ControlOf(s, IDC_BROWSE_SEND), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::qWait(100);
        QVERIFY(m_answerer.Seen().empty());
        QCOMPARE(TextOf(s, IDC_STATUS), QString());
        QCOMPARE(ItemsOf(image), QStringList{before});  // Enter does not add the text
        m_answerer.Clear();

        const QString chosen = m_dir.filePath(QStringLiteral("picked.bin"));
        m_answerer.Expect(ChooseFile(confirm ? chosen : QString()));
        QTest::mouseClick(ControlOf(s, IDC_BROWSE_SEND), Qt::LeftButton);
        QCOMPARE(int(m_answerer.Seen().size()), 1);
        const ModalSeen& browse = m_answerer.Seen()[0];
        QCOMPARE(browse.title, QStringLiteral("Get name Image - file"));
        QCOMPARE(browse.text, QStringLiteral("Image - FILES(*.bin)|ALL files(*.*) (*)"));
        QCOMPARE(image->currentText(), confirm ? chosen : before);
        QCOMPARE(ItemsOf(image), QStringList{before});  // the list entry is not replaced
        QCOMPARE(s.Window().focusWidget(), ControlOf(s, IDC_CONNECT));
        QCOMPARE(g_defaultCommand.load(), IDC_CONNECT);

        // Now Enter is a click on "Connect GPS": the port cannot be opened.
        m_answerer.Expect(PressButton(QMessageBox::Ok));
        image->lineEdit()->setFocus();
        QTest::keyClick(image->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE(TextOf(s, IDC_STATUS), QStringLiteral("Cannot open GPS port."));
        QCOMPARE(int(m_answerer.Seen().size()), 2);
        QVERIFY(s.Window().isVisible());  // OK never ends the dialog
    }

    void browseOffersTheCurrentText() {
        CLoaderSession& s = *m_session;
        auto* image = qobject_cast<QComboBox*>(ControlOf(s, IDC_IMAGE_LIST));
        const QString typed = m_dir.filePath(QStringLiteral("typed-name.bin"));
        image->setEditText(typed);
        QString offered;
        m_answerer.Expect([&offered](QWidget* modal, ModalSeen&) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            offered = dialog->selectedFiles().value(0);
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            dialog->reject();
        });
        QTest::mouseClick(ControlOf(s, IDC_BROWSE_SEND), Qt::LeftButton);
        QCOMPARE(offered, typed);
        QCOMPARE(image->currentText(), typed);  // cancelled: nothing changes
    }

    void programmingProgressFillsTheStatusLineAndLeadsTheTitle() {
        CLoaderSession& s = *m_session;
        QWidget* status = ControlOf(s, IDC_STATUS);
        const QString caption = s.Window().windowTitle();
        const QColor plain = BackgroundAt(status, 0.5);
        QVERIFY(plain != ProgressFillColour());

        ShowStatus("Programing FLASH");  // hypothetical text: the fill never changes it
        ReportProgress(JobPhase::Program, 3 * 1024, 10 * 1024);
        QCOMPARE(BackgroundAt(status, 0.1), ProgressFillColour());
        QCOMPARE(BackgroundAt(status, 0.6), plain);
        QCOMPARE(s.Window().windowTitle(), QStringLiteral("30% - ") + caption);
        QCOMPARE(TextOf(s, IDC_STATUS), QStringLiteral("Programing FLASH"));
        // The SFLD upload does not fill the line.
        ReportProgress(JobPhase::Sfld, 1, 1);
        QCOMPARE(s.Window().windowTitle(), QStringLiteral("30% - ") + caption);

        ReportProgress(JobPhase::Program, 10 * 1024, 10 * 1024);
        QCOMPARE(BackgroundAt(status, 0.98), ProgressFillColour());
        QCOMPARE(s.Window().windowTitle(), QStringLiteral("100% - ") + caption);

        SetJobControls(true, true);
        QCOMPARE(BackgroundAt(status, 0.1), plain);
        QCOMPARE(s.Window().windowTitle(), caption);
    }

    void escapeClosesWhenIdle() {
        CLoaderSession& s = *m_session;
        QTest::keyClick(&s.Window(), Qt::Key_Escape);
        QVERIFY(!s.Window().isVisible());
        QCOMPARE(s.Window().result(), int(QDialog::Rejected));
        QVERIFY(m_answerer.Seen().empty());
    }

    void closeButtonClosesWithoutAskingWhenIdle() {
        CLoaderSession& s = *m_session;
        QVERIFY(s.Window().close() || !s.Window().isVisible());
        QVERIFY(!s.Window().isVisible());
        QVERIFY(m_answerer.Seen().empty());
    }

    void nameFiltersKeepTheirTexts() {
        QCOMPARE(ToQtNameFilters(kBrowseFilter),
                 (QStringList{"Image - FILES(*.bin)", "ALL files(*.*) (*)"}));
        QCOMPARE(ToQtNameFilters("Hex(*.hex;*.s19)|*.hex;*.s19||"),
                 QStringList{"Hex(*.hex;*.s19) (*.hex *.s19)"});
    }

  private:
    QTemporaryDir m_dir;
    CModalAnswerer m_answerer;
    std::unique_ptr<CLoaderSession> m_session;
};

QTEST_MAIN(TestLoaderDialog)
#include "dialog_test.moc"
