// The dialog against the simulated receiver: Connect GPS, an upload of a typed image
// path, and closing while the flash is being programmed.
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "base/message_log.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "gui_test_support.h"
#include "link/receiver_queries.h"

using namespace zelvar;
using namespace zelvar::test;

namespace {

constexpr int kUploadTimeoutMs = 180000;  // a whole upload; the machine may be busy
constexpr int kProgrammingStartMs = 120000;
constexpr std::size_t kSmallFw = 0x6000;
constexpr std::size_t kLargeFw = 0x40000;  // 64 sectors: programming takes a while
constexpr int kSlowEraseMs = 150;

const QString kShownCloseQuestion = QStringLiteral(
    "GPS uploading is in progress. Terminating may cause GPS failure.\nTerminate anyway ?");

}  // namespace

class TestDialogUpload : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { UsePrivateRuntimeDir(); }

    void cleanup() {
        m_answerer.Clear();
        m_session.reset();
        m_receiver.reset();
        g_portName.Set("GPS1:");
        g_uploadBusy = false;
    }

    void connectEnablesLoadAndTheTypedImageIsUploaded() {
        QVERIFY(Begin(2));
        CLoaderSession& s = *m_session;
        QVERIFY(!ControlOf(s, IDC_LOAD)->isEnabled());
        Connect();
        QStringList lines = ItemsOf(ControlOf(s, IDC_MESSAGE_LIST));
        QVERIFY2(lines.contains(QStringLiteral(" GPS flash information")),
                 qPrintable(lines.join('\n')));
        QVERIFY2(lines.last().startsWith(QStringLiteral("GPS connected at ")),
                 qPrintable(lines.last()));
        QVERIFY(ControlOf(s, IDC_LOAD)->isEnabled());

        // The user types the path of another image rather than browsing for it.
        const std::string typed = Path("typed.bin");
        QVERIFY(WriteBytes(typed, MakeTestImage(30, kSmallFw)));
        auto* image = qobject_cast<QComboBox*>(ControlOf(s, IDC_IMAGE_LIST));
        image->lineEdit()->selectAll();
        QTest::keyClicks(image->lineEdit(), QString::fromStdString(typed));
        QTest::mouseClick(ControlOf(s, IDC_LOAD), Qt::LeftButton);
        QCOMPARE(s.Dialog().Job().imagePath, typed);
        for (int id : {IDC_LOAD, IDC_CONNECT, IDC_IMAGE_LIST, IDC_BROWSE_SEND, IDC_PORT_LIST}) {
            QVERIFY2(!ControlOf(s, id)->isEnabled(), qPrintable(QString::number(id)));
        }

        // The verdict is the job's last line, added after the controls came back.
        QTRY_VERIFY_WITH_TIMEOUT(LastItem(ControlOf(s, IDC_MESSAGE_LIST)).startsWith("Upload "),
                                 kUploadTimeoutMs);
        lines = ItemsOf(ControlOf(s, IDC_MESSAGE_LIST));
        QCOMPARE(lines.last(), QStringLiteral("Upload complete"));
        QCOMPARE(lines.count(QStringLiteral("Upload complete")), 1);
        QVERIFY(!ControlOf(s, IDC_LOAD)->isEnabled());
        for (int id : {IDC_CONNECT, IDC_IMAGE_LIST, IDC_BROWSE_SEND, IDC_PORT_LIST}) {
            QVERIFY(ControlOf(s, id)->isEnabled());
        }
        QVERIFY(!g_uploadBusy);
        QVERIFY(FlashHolds(m_receiver->Flash(), ReadBytes(typed)));
        QStringList log = LogLines(ProgramLogPath());
        QCOMPARE(log.first(), QStringLiteral("GPS firmware loader 1.1.2"));
        QCOMPARE(log.last(), QStringLiteral("Upload complete"));
    }

    void closeQuestionDuringProgramming() {
        QVERIFY(Begin(kSlowEraseMs));
        CLoaderSession& s = *m_session;
        const QString caption = s.Window().windowTitle();
        Connect();
        QVERIFY(ControlOf(s, IDC_LOAD)->isEnabled());
        StartLoad(Path("large.bin"));
        QTRY_VERIFY_WITH_TIMEOUT(g_uploadBusy.load(), kProgrammingStartMs);
        // Once frames are being programmed, the title and the status line show how far.
        QTRY_VERIFY_WITH_TIMEOUT(ProgressShown(s.Window(), caption), kProgrammingStartMs);
        QVERIFY(ControlOf(s, IDC_STATUS)->palette().brush(QPalette::Base).gradient());

        // The close button asks; No keeps the dialog and the upload.
        m_answerer.Expect(PressButton(QMessageBox::No));
        s.Window().close();
        QCOMPARE(int(m_answerer.Seen().size()), 1);
        QCOMPARE(m_answerer.Seen()[0].title, QStringLiteral("Zelvar Firmware Loader"));
        QCOMPARE(m_answerer.Seen()[0].text, kShownCloseQuestion);
        QVERIFY(s.Window().isVisible());

        // Escape asks the same while the flash is being programmed.
        m_answerer.Expect(PressButton(QMessageBox::No));
        QTest::keyClick(&s.Window(), Qt::Key_Escape);
        QCOMPARE(int(m_answerer.Seen().size()), 2);
        QCOMPARE(m_answerer.Seen()[1].text, kShownCloseQuestion);
        QVERIFY(s.Window().isVisible());

        QTRY_COMPARE_WITH_TIMEOUT(LastItem(ControlOf(s, IDC_MESSAGE_LIST)),
                                  QStringLiteral("Upload complete"), kUploadTimeoutMs);
        QVERIFY(!g_uploadBusy);
        QCOMPARE(s.Window().windowTitle(), caption);
        QVERIFY(!ControlOf(s, IDC_STATUS)->palette().brush(QPalette::Base).gradient());
        // Once programming is over the dialog closes without asking.
        s.Window().close();
        QVERIFY(!s.Window().isVisible());
        QCOMPARE(int(m_answerer.Seen().size()), 2);
    }

    void closingDuringProgrammingEndsCleanly() {
        QVERIFY(Begin(kSlowEraseMs));
        CLoaderSession& s = *m_session;
        Connect();
        StartLoad(Path("large.bin"));
        QTRY_VERIFY_WITH_TIMEOUT(g_uploadBusy.load(), kProgrammingStartMs);

        m_answerer.Expect(PressButton(QMessageBox::Yes));
        s.Window().close();
        QVERIFY(!s.Window().isVisible());
        // What the program does once the modal run is over.
        s.Finish();
        QVERIFY(!IsLogFileOpen());
        QVERIFY(!GetMainWindow());
        const std::string logAtClose = ReadFile(ProgramLogPath());
        QVERIFY(logAtClose.size() > 2 && logAtClose.ends_with("\r\n"));

        // The worker notices the end at its next wait; its later reports go nowhere.
        QTRY_VERIFY_WITH_TIMEOUT(!g_uploadBusy.load(), kUploadTimeoutMs);
        QTest::qWait(200);
        QCOMPARE(ReadFile(ProgramLogPath()), logAtClose);
    }

  private:
    // The title leads with a percentage of programming that has begun.
    static bool ProgressShown(QWidget& window, const QString& caption) {
        const QString title = window.windowTitle();
        if (!title.endsWith(QStringLiteral("% - ") + caption)) return false;
        return title.left(title.indexOf('%')).toInt() > 0;
    }

    std::string Path(const char* name) {
        return m_dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    // A receiver with a factory image, a dialog offering its link, the link picked.
    bool Begin(int sectorEraseMs) {
        const std::string factory = Path("factory.bin");
        const std::string link = Path("gps");
        if (!WriteBytes(factory, MakeTestImage(2, kSmallFw))) return false;
        if (!WriteBytes(Path("large.bin"), MakeTestImage(40, kLargeFw))) return false;
        sim::SimOptions options;
        options.linkPath = link;
        options.sectorEraseMs = sectorEraseMs;
        m_receiver = StartSim(options, factory);
        if (!m_receiver) return false;
        m_session = ShowDialogOn(Path(""), link);
        return m_session != nullptr;
    }

    void Connect() { QTest::mouseClick(ControlOf(*m_session, IDC_CONNECT), Qt::LeftButton); }

    void StartLoad(const std::string& path) {
        auto* image = qobject_cast<QComboBox*>(ControlOf(*m_session, IDC_IMAGE_LIST));
        image->setEditText(QString::fromStdString(path));
        QTest::mouseClick(ControlOf(*m_session, IDC_LOAD), Qt::LeftButton);
    }

    QTemporaryDir m_dir;
    CModalAnswerer m_answerer;
    std::unique_ptr<sim::CSimReceiver> m_receiver;
    std::unique_ptr<CLoaderSession> m_session;
};

QTEST_MAIN(TestDialogUpload)
#include "upload_test.moc"
