#include "gui/qt/screenshots.h"

#include <QApplication>
#include <QDir>

#include "base/loader_events.h"
#include "base/message_log.h"
#include "base/resource_ids.h"
#include "gui/common/loader_dialog.h"
#include "gui/common/loader_layout.h"
#include "gui/common/serial_port_list.h"
#include "gui/qt/about_dialog.h"
#include "gui/qt/qt_main_window.h"
#include "image/app_directory.h"
#include "link/connect_gps.h"
#include "link/receiver_queries.h"

namespace zelvar {

namespace {

// What a receiver in loader mode typically answers to Connect GPS.
void SampleReceiver(ReceiverInfo& info) {
    info = ReceiverInfo{};
    info.pfld = {5, 1, "PFLD0105", kFlashBase, 0x3ff0, 0};
    info.main = {7, 0, "FW000700", kFwBase, 0x7c3a0, 0x5a17c3e9};
    info.speed = 19200;
    info.pflMode = 1;
    info.connected = 1;
}

void ShowConnectReport(const ReceiverInfo& info) {
    LogLine("PFL mode detected");
    LogLine(" GPS flash information");
    LogSectionInfo(info.pfld, "Pfld");
    LogSectionInfo(info.main, "Main FW");
    LogAnsiLine("GPS connected at 19200");
}

// A job part way through programming: the lines so far, and 42% of the image taken.
void ShowProgrammingSample() {
    LogLine("Erasing FLASH...");
    ShowStatus("FLASH erasing complete.");
    LogLine("Complete.");
    LogLine("FLASH Programming...");
    ReportProgress(JobPhase::Program, 0x34000, 0x7c3a4);
}

void ShowTerminalSample() {
    LogLine("$PQRXR,RID,GPS,7.0,FW000700*3B");
    LogLine("$PQRXR,PRT,A,4800,NMEA*12");
    LogLine("$GPGGA,101530.00,5230.1234,N,01323.4567,E,1,07,1.1,35.2,M,,M,,*6F");
}

bool Save(QWidget& widget, const QString& path) {
    widget.show();
    QApplication::processEvents();
    return widget.grab().save(path, "PNG");
}

QString ImagePath() {
    char directory[kPathBytes] = {};
    GetAppDirectory(directory);
    return QString::fromUtf8(directory) + QString::fromUtf8(kDefaultImageName);
}

}  // namespace

QStringList SaveScreenshots(const QString& directory) {
    QDir dir(directory);
    QStringList written;
    CLoaderWindow window;
    auto seam = std::make_shared<CQtMainWindow>(&window);
    std::shared_ptr<IMainWindow> previous = GetMainWindow();
    SetMainWindow(seam);  // the sample reports go through the message log as usual

    std::string image = ImagePath().toStdString();
    ApplyLayout(*seam, false, image);
    const SerialPortRoots roots = SystemSerialPortRoots();
    FillLists(*seam, DescribeSerialPorts(roots, FindSerialPorts(roots)));
    ReceiverInfo sample;
    SampleReceiver(sample);
    ShowConnectReport(sample);
    seam->Enable(IDC_LOAD, true);
    if (Save(window, dir.filePath(QStringLiteral("loader.png")))) {
        written << dir.filePath(QStringLiteral("loader.png"));
    }

    ShowProgrammingSample();
    if (Save(window, dir.filePath(QStringLiteral("programming.png")))) {
        written << dir.filePath(QStringLiteral("programming.png"));
    }
    seam->ShowProgress(IDC_STATUS, kNoProgress);

    seam->ListReset(IDC_MESSAGE_LIST);
    ShowStatus("");
    ApplyLayout(*seam, true, image);
    seam->ListSelect(IDC_IMAGE_LIST, 0);
    ShowTerminalSample();
    if (Save(window, dir.filePath(QStringLiteral("terminal.png")))) {
        written << dir.filePath(QStringLiteral("terminal.png"));
    }

    ReceiverInfo saved = g_receiverInfo;
    g_receiverInfo = sample;
    CAboutDlg about(&window);
    MakeAboutTexts(about.m_title, about.m_text);
    g_receiverInfo = saved;
    about.ExchangeData();
    if (Save(about, dir.filePath(QStringLiteral("about.png")))) {
        written << dir.filePath(QStringLiteral("about.png"));
    }

    seam->MarkClosing();
    SetMainWindow(previous);
    return written;
}

}  // namespace zelvar
