// The dialog's upload ends as every front end's does: the flash is verified by a connect
// after the upload, and a failed job says why and in what state it left the receiver.
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "base/flash_map.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "gui_test_support.h"
#include "link/receiver_queries.h"

using namespace zelvar;
using namespace zelvar::test;

namespace {

constexpr int kUploadTimeoutMs = 180000;  // a whole upload; the machine may be busy
constexpr std::size_t kFwBytes = 0x9000;
constexpr uint32_t kFwEndWord = kFwBase + kSectionEndWord;
constexpr uint64_t kVanishBytes = 30000;  // past the SFLD, while the flash is programmed

// The lines from the first one equal to first to the end; empty when there is none.
QStringList From(const QStringList& lines, const QString& first) {
    const qsizetype at = lines.lastIndexOf(first);
    return at < 0 ? QStringList() : lines.mid(at);
}

}  // namespace

class TestDialogVerify : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { UsePrivateRuntimeDir(); }

    void cleanup() {
        m_session.reset();
        m_receiver.reset();
        g_portName.Set("GPS1:");
        g_uploadBusy = false;
    }

    void aGoodFlashEndsVerifiedAndLoadStaysDisabled() {
        QVERIFY(Load({}));
        const QStringList tail = {QStringLiteral("Verified"),
                                  QStringLiteral("Receiver state: verified"),
                                  QStringLiteral("Upload complete")};
        const QStringList lines = ItemsOf(ControlOf(*m_session, IDC_MESSAGE_LIST));
        QCOMPARE(lines.mid(lines.size() - 3), tail);
        // The reconnect's lines stand before the verdict, as the log has them too.
        const QStringList check = From(lines, QStringLiteral(" GPS flash information"));
        QVERIFY2(check.contains(QStringLiteral("GPS connected at 4800")),
                 qPrintable(check.join('\n')));
        QVERIFY2(check.filter(QStringLiteral("FW check word")).size() == 1,
                 qPrintable(check.join('\n')));
        const QStringList log = LogLines(ProgramLogPath());
        QCOMPARE(log.mid(log.size() - 3), tail);
        QVERIFY(!ControlOf(*m_session, IDC_LOAD)->isEnabled());
        QVERIFY(ControlOf(*m_session, IDC_CONNECT)->isEnabled());
    }

    void aSpoiledWordFailsTheVerification() {
        sim::SimFaults faults;
        faults.corruptWordAddress = kFwEndWord;
        faults.corruptWordMask = 1;
        QVERIFY(Load(faults));
        const QStringList lines = ItemsOf(ControlOf(*m_session, IDC_MESSAGE_LIST));
        const QStringList tail = From(lines, QStringLiteral("Verification failed"));
        QVERIFY2(tail.size() == 4, qPrintable(lines.join('\n')));
        QVERIFY2(tail[1].startsWith(QStringLiteral("Reason: Verify: FW end word ")),
                 qPrintable(tail[1]));
        QCOMPARE(tail[2], QStringLiteral("Receiver state: not vouched for"));
        QCOMPARE(tail[3], QStringLiteral("Upload failed"));
        QVERIFY(!ControlOf(*m_session, IDC_LOAD)->isEnabled());
    }

    void aVanishedReceiverLeavesTheReasonAndItsState() {
        sim::SimFaults faults;
        faults.vanishAfterBytes = kVanishBytes;
        QVERIFY(Load(faults));
        const QStringList lines = ItemsOf(ControlOf(*m_session, IDC_MESSAGE_LIST));
        QVERIFY2(lines.contains(QStringLiteral("FLASH Programming...")),
                 qPrintable(lines.join('\n')));
        QVERIFY2(!lines.contains(QStringLiteral("Verified")), qPrintable(lines.join('\n')));
        const QStringList tail = lines.mid(lines.size() - 3);
        QVERIFY2(tail[0].startsWith(QStringLiteral("Reason: Serial device lost: ")),
                 qPrintable(tail[0]));
        QCOMPARE(tail[1], QStringLiteral("Receiver state: firmware incomplete, resident loader "
                                         "intact: Connect GPS, then Load again"));
        QCOMPARE(tail[2], QStringLiteral("Upload failed"));
        const QStringList log = LogLines(ProgramLogPath());
        QCOMPARE(log.mid(log.size() - 3), tail);
    }

  private:
    std::string Path(const char* name) {
        return m_dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    // Connects to a receiver with faults, loads a new image and waits for the job's end.
    bool Load(const sim::SimFaults& faults) {
        const std::string factory = Path("factory.bin");
        const std::string image = Path("new.bin");
        const std::string link = Path("gps");
        sim::SimOptions options;
        options.faults = faults;
        options.linkPath = link;
        if (!WriteBytes(factory, MakeTestImage(2, kFwBytes / 2))) return false;
        m_receiver = StartSim(options, factory);
        if (!m_receiver) return false;
        m_session = ShowDialogOn(Path(""), link);
        if (!m_session || !WriteBytes(image, MakeTestImage(40, kFwBytes))) return false;
        QTest::mouseClick(ControlOf(*m_session, IDC_CONNECT), Qt::LeftButton);
        if (!ControlOf(*m_session, IDC_LOAD)->isEnabled()) return false;
        auto* list = qobject_cast<QComboBox*>(ControlOf(*m_session, IDC_IMAGE_LIST));
        list->setEditText(QString::fromStdString(image));
        QTest::mouseClick(ControlOf(*m_session, IDC_LOAD), Qt::LeftButton);
        QWidget* messages = ControlOf(*m_session, IDC_MESSAGE_LIST);
        return QTest::qWaitFor([&] { return LastItem(messages).startsWith("Upload "); },
                               kUploadTimeoutMs);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<sim::CSimReceiver> m_receiver;
    std::unique_ptr<CLoaderSession> m_session;
};

QTEST_MAIN(TestDialogVerify)
#include "verify_test.moc"
