// Start-up and the pieces around the dialog: the single-instance check, the About box,
// the port list, the window seam across threads and the screenshots.
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/message_log.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "gui/common/instance_lock.h"
#include "gui/common/serial_port_list.h"
#include "gui/qt/loader_app.h"
#include "gui/qt/progress_fill.h"
#include "gui/qt/screenshots.h"
#include "gui_test_support.h"
#include "link/connect_gps.h"
#include "link/receiver_queries.h"

using namespace zelvar;
using namespace zelvar::test;

namespace {

QString AboutSeen(const std::string& title, const std::string& text) {
    QString body = QString::fromStdString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return QString::fromStdString(title) + QStringLiteral("|") + body;
}

void MakeDevice(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
}

void WriteText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

constexpr int kHammerRounds = 4;
constexpr int kQuickEraseMs = 2;  // the receiver's time to erase a sector
constexpr int kReachedBeforeClose = 50;
constexpr auto kWorkerReturnBound = std::chrono::seconds(30);  // only a hang goes past it

// A worker that reports through the seam without pause until it has made one round of
// calls after the window was closed. Shared with the worker, so that a test that gives up
// on it may leave it running.
struct SeamHammer {
    std::shared_ptr<IMainWindow> seam;
    std::atomic<int> reached{0};  // rounds whose ListAdd reached the window
    std::atomic<bool> closed{false};
    std::atomic<bool> lateCallActed{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;

    void Run() {
        for (int i = 0;; ++i) {
            const bool afterClose = closed.load();
            seam->SetText(IDC_STATUS, "status " + std::to_string(i));
            const int index = seam->ListAdd(IDC_MESSAGE_LIST, "line");
            const std::string text = seam->GetText(IDC_STATUS);
            if (index >= 0) ++reached;
            if (afterClose) {
                lateCallActed = index != -1 || !text.empty();
                break;
            }
        }
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    }

    bool WaitDone() {
        std::unique_lock lock(mutex);
        return finished.wait_for(lock, kWorkerReturnBound, [this] { return done; });
    }
};

}  // namespace

class TestLoaderApp : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { m_runtime = UsePrivateRuntimeDir(); }

    void cleanup() {
        m_answerer.Clear();
        g_portName.Set("GPS1:");
    }

    void secondInstanceIsRefused() {
        const std::string lockPath = m_runtime + "zelvar-loader.lock";
        QCOMPARE(CInstanceLock::DefaultPath(), lockPath);
        CInstanceLock running(lockPath);
        QVERIFY(running.Acquire());
        QFile::remove(QString::fromStdString(ProgramLogPath()));

        CLoaderApp app;
        m_answerer.Expect(PressButton(QMessageBox::Ok));
        QVERIFY(!app.InitInstance());
        QCOMPARE(int(m_answerer.Seen().size()), 1);
        const ModalSeen& box = m_answerer.Seen()[0];
        QCOMPARE(box.title, QStringLiteral("GPS firmware loader"));
        QCOMPARE(box.text,
                 QStringLiteral("Application is already runnning!\nTerminating this instance."));
        QCOMPARE(box.icon, QMessageBox::Information);
        QVERIFY(!QFile::exists(QString::fromStdString(ProgramLogPath())));
        QVERIFY(!IsLogFileOpen());
    }

    void firstInstanceRunsTheDialogUntilClosed() {
        CLoaderApp app;
        app.SetPortRoots(EmptyPortRoots(m_runtime, ""));
        bool lockedWhileRunning = false;
        m_answerer.Expect([&](QWidget* modal, ModalSeen&) {
            CInstanceLock second(CInstanceLock::DefaultPath());
            lockedWhileRunning = !second.Acquire();
            modal->close();  // the caption's close button
        });
        QVERIFY(!app.InitInstance());
        QCOMPARE(int(m_answerer.Seen().size()), 1);
        QCOMPARE(m_answerer.Seen()[0].title, QStringLiteral("GPS firmware loader 1.12"));
        QVERIFY(lockedWhileRunning);
        QVERIFY(!IsLogFileOpen());
        QVERIFY(!GetMainWindow());
        QCOMPARE(LogLines(ProgramLogPath()), QStringList{"GPS firmware loader 1.1.2"});
        CInstanceLock after(CInstanceLock::DefaultPath());
        QVERIFY(after.Acquire());  // the lock went with the dialog
    }

    void instanceLockIsHeldUntilReleased() {
        const std::string path = m_runtime + "lock-test";
        auto first = std::make_unique<CInstanceLock>(path);
        QVERIFY(first->Acquire() && first->Held());
        CInstanceLock second(path);
        QVERIFY(!second.Acquire());
        first.reset();
        QVERIFY(second.Acquire());
        // A lock file that cannot be made does not keep the program from running.
        CInstanceLock nowhere("/nonexistent-dir/zelvar.lock");
        QVERIFY(nowhere.Acquire());
        QVERIFY(!nowhere.Held());
    }

#ifdef ZELVAR_HAVE_SIM
    void aboutBoxBeforeAndAfterConnect() {
        QTemporaryDir dir;
        const std::string factory = dir.filePath(QStringLiteral("factory.bin")).toStdString();
        const std::string link = dir.filePath(QStringLiteral("gps")).toStdString();
        QVERIFY(WriteBytes(factory, MakeTestImage(2, 0x6000)));
        sim::SimOptions options;
        options.linkPath = link;
        options.sectorEraseMs = kQuickEraseMs;
        options.startInPfld = true;
        auto receiver = StartSim(options, factory);
        QVERIFY(receiver);
        g_receiverInfo = ReceiverInfo{};
        CLoaderSession session(EmptyPortRoots(m_runtime, link));
        session.Start();
        session.Window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&session.Window()));

        m_answerer.Expect(CloseAbout());
        QTest::mouseClick(ControlOf(session, IDC_LOGO), Qt::LeftButton);
        QCOMPARE(int(m_answerer.Seen().size()), 1);
        QCOMPARE(m_answerer.Seen()[0].title, QStringLiteral("About"));
        QCOMPARE(m_answerer.Seen()[0].text,
                 QStringLiteral("GPS firmware loader 1.1.2|GPS firmware version N/a\n"
                                "GPS Pfld version N/a\nLog file: ") +
                     QString::fromStdString(LogFilePath()) + QStringLiteral("\n"));

        QVERIFY(PickPort(session, QString::fromStdString(link)));
        QTest::mouseClick(ControlOf(session, IDC_CONNECT), Qt::LeftButton);
        QVERIFY(ControlOf(session, IDC_LOAD)->isEnabled());
        std::string title;
        std::string text;
        MakeAboutTexts(title, text);
        m_answerer.Expect(CloseAbout());
        QTest::mouseClick(ControlOf(session, IDC_LOGO), Qt::LeftButton);
        QCOMPARE(int(m_answerer.Seen().size()), 2);
        const QString after = m_answerer.Seen()[1].text;
        QCOMPARE(after, AboutSeen(title, text));
        QVERIFY(after.contains(QStringLiteral("PFL mode detected\nLog file: ")));
        QVERIFY(after != m_answerer.Seen()[0].text);
    }
#endif

    void portListOffersTheDevicesFound() {
        QTemporaryDir dir;
        const QString dev = dir.filePath(QStringLiteral("dev"));
        const QString sys = dir.filePath(QStringLiteral("sys"));
        MakeDevice(dev + "/ttyS0");
        MakeDevice(dev + "/ttyS1");  // a node without a UART behind it
        MakeDevice(dev + "/ttyUSB10");
        MakeDevice(dev + "/ttyUSB2");
        MakeDevice(dev + "/ttyACM0");
        MakeDevice(dev + "/serial/by-id/usb-Maker_Receiver-if00");
        WriteText(dev + "/ttyUSB3", "not a device");
        WriteText(sys + "/ttyS0/type", "4\n");
        WriteText(sys + "/ttyS1/type", "0\n");
        MakeDevice(dir.filePath(QStringLiteral("sim-link")));
        SerialPortRoots roots{dev.toStdString(), sys.toStdString(),
                              dir.filePath(QStringLiteral("sim-link")).toStdString()};
        const std::vector<std::string> want = {roots.dev + "/ttyS0",
                                               roots.dev + "/ttyUSB2",
                                               roots.dev + "/ttyUSB10",
                                               roots.dev + "/ttyACM0",
                                               roots.dev + "/serial/by-id/usb-Maker_Receiver-if00",
                                               roots.simLink};
        QVERIFY(FindSerialPorts(roots) == want);

        CLoaderSession session(roots);
        session.Start();
        QStringList expected{"GPS1:", "GPS2:"};
        for (const std::string& port : want) expected << QString::fromStdString(port);
        QCOMPARE(ItemsOf(ControlOf(session, IDC_PORT_LIST)), expected);
        QCOMPARE(QString::fromStdString(session.Seam().GetText(IDC_PORT_LIST)),
                 QStringLiteral("GPS1:"));

        // A simulator that is not running is not offered.
        roots.simLink = dir.filePath(QStringLiteral("missing")).toStdString();
        QVERIFY(FindSerialPorts(roots).size() == want.size() - 1);

        // A by-id link to a USB tty is shown by the adapter's product string.
        const QString usb = dir.filePath(QStringLiteral("sys-devices/usb1/1-1"));
        WriteText(usb + "/product", "FT232R USB UART\n");
        QDir().mkpath(usb + "/1-1:1.0/ttyUSB2");
        QDir().mkpath(sys + "/ttyUSB2");
        QVERIFY(QFile::link(usb + "/1-1:1.0/ttyUSB2", sys + "/ttyUSB2/device"));
        const std::string byId = roots.dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00";
        QVERIFY(QFile::link(QStringLiteral("../../ttyUSB2"), QString::fromStdString(byId)));
        const std::vector<PortChoice> choices =
            DescribeSerialPorts(roots, {roots.dev + "/ttyUSB2", byId, want[4]});
        QCOMPARE(choices[0].label, roots.dev + "/ttyUSB2");  // a plain device by its path
        QCOMPARE(choices[1].label, std::string("FT232R USB UART (ttyUSB2)"));
        QCOMPARE(choices[1].device, byId);
        QCOMPARE(choices[2].label, want[4]);  // a by-id name whose tty the kernel does not know
    }

    void workerCallsWaitForTheGuiThread() {
        CLoaderSession session(EmptyPortRoots(m_runtime, ""));
        session.Start();
        session.Window().show();
        CQtMainWindow& seam = session.Seam();

        // A question from the worker is a modal box on the GUI thread.
        std::atomic<int> answer{-1};
        Qt::HANDLE boxThread = nullptr;
        m_answerer.Expect([&boxThread](QWidget* modal, ModalSeen& seen) {
            boxThread = QThread::currentThreadId();
            PressButton(QMessageBox::Yes)(modal, seen);
        });
        std::thread worker([&] {
            answer = seam.AskUser("PFLD update requiered.\r\nContinue ?", " Warning: Unsafe mode",
                                  AskButtons::YesNo, AskIcon::Warning);
        });
        QTRY_VERIFY(answer.load() != -1);
        worker.join();
        QCOMPARE(answer.load(), 1);
        QCOMPARE(boxThread, QThread::currentThreadId());
        QCOMPARE(m_answerer.Seen()[0].title, QStringLiteral(" Warning: Unsafe mode"));
        QCOMPARE(m_answerer.Seen()[0].text, QStringLiteral("PFLD update requiered.\nContinue ?"));

        // A report from the worker has been handled when the call returns.
        answer = -1;
        std::thread reporter([&] {
            LogLine("from the worker");
            answer = seam.ListCount(IDC_MESSAGE_LIST);
        });
        QTRY_VERIFY(answer.load() == 1);
        reporter.join();
        QCOMPARE(LastItem(ControlOf(session, IDC_MESSAGE_LIST)), QStringLiteral("from the worker"));
    }

    void closingReleasesAWaitingWorker() {
        CLoaderSession session(EmptyPortRoots(m_runtime, ""));
        session.Start();
        CQtMainWindow& seam = session.Seam();
        std::atomic<int> added{0};
        std::thread worker([&] { added = seam.ListAdd(IDC_MESSAGE_LIST, "late") + 10; });
        // The GUI thread is busy elsewhere (not handling events) when the window closes.
        QThread::msleep(200);
        QCOMPARE(added.load(), 0);
        session.Finish();
        worker.join();
        QCOMPARE(added.load(), -1 + 10);  // dropped
        QCoreApplication::processEvents();
        // After the close every call returns at once, from any thread.
        std::thread late([&] { added = seam.ListCount(IDC_MESSAGE_LIST) + 20; });
        late.join();
        QCOMPARE(added.load(), 20);
    }

    // The window closes and is destroyed while a worker is in the middle of its calls:
    // as the program does it (the session marks the seam closing first) and by the
    // window's destruction alone. The worker is released at once and every later call
    // returns its fallback.
    void windowGoesWhileAWorkerHammersTheSeam() {
        for (int round = 0; round < kHammerRounds; ++round) {
            const bool throughSession = round % 2 == 0;
            std::unique_ptr<CLoaderSession> session;
            std::unique_ptr<CLoaderWindow> window;
            auto hammer = std::make_shared<SeamHammer>();
            if (throughSession) {
                session = std::make_unique<CLoaderSession>(EmptyPortRoots(m_runtime, ""));
                session->Start();
                hammer->seam = GetMainWindow();
            } else {
                window = std::make_unique<CLoaderWindow>();
                hammer->seam = std::make_shared<CQtMainWindow>(window.get());
            }
            QVERIFY(hammer->seam);
            std::thread worker([hammer] { hammer->Run(); });
            QTRY_VERIFY(hammer->reached.load() >= kReachedBeforeClose);
            // Not handling events now: the worker's next call waits for this thread.
            session.reset();
            window.reset();
            hammer->closed = true;
            if (!hammer->WaitDone()) {
                worker.detach();
                QFAIL("the worker is still waiting for a window that has gone");
            }
            worker.join();
            QVERIFY(!hammer->lateCallActed.load());
            QVERIFY(static_cast<CQtMainWindow&>(*hammer->seam).IsClosing());
            QCoreApplication::processEvents();  // nothing queued may act any more
        }
        QVERIFY(!GetMainWindow());
    }

    void screenshotsAreWritten() {
        QTemporaryDir dir;
        QStringList files = SaveScreenshots(dir.path());
        QCOMPARE(files.size(), 4);
        for (const char* name : {"loader.png", "programming.png", "terminal.png", "about.png"}) {
            QImage image(dir.filePath(QString::fromLatin1(name)));
            QVERIFY2(!image.isNull(), name);
            QVERIFY(image.width() > 200 && image.height() > 150);
        }
        // Only the picture taken mid-programming shows the status line's fill.
        QCOMPARE(FillPixels(dir.filePath(QStringLiteral("loader.png"))), 0);
        QVERIFY(FillPixels(dir.filePath(QStringLiteral("programming.png"))) > 100);
        QCOMPARE(FillPixels(dir.filePath(QStringLiteral("terminal.png"))), 0);
        QVERIFY(!GetMainWindow());
    }

  private:
    static int FillPixels(const QString& path) {
        const QImage image(path);
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += image.pixelColor(x, y) == ProgressFillColour();
            }
        }
        return count;
    }

    std::string m_runtime;
    CModalAnswerer m_answerer;
};

QTEST_MAIN(TestLoaderApp)
#include "app_test.moc"
