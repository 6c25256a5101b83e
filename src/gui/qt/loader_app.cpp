#include "gui/qt/loader_app.h"

#include <QApplication>
#include <QMessageBox>

#include "base/resource_ids.h"
#include "gui/common/instance_lock.h"
#include "gui/common/single_instance.h"
#include "gui/qt/loader_resources.h"
#include "gui/qt/loader_session.h"
#include "gui/qt/loader_window.h"

namespace zelvar {

CLoaderApp::CLoaderApp()
    : m_lockPath(CInstanceLock::DefaultPath()), m_portRoots(SystemSerialPortRoots()) {}

void ShowAlreadyRunning() {
    QMessageBox box(QMessageBox::Information,
                    QString::fromUtf8(LoadResourceString(IDS_LOADER_NAME)),
                    QString::fromUtf8(LoadResourceString(IDS_ALREADY_RUNNING)), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("alreadyRunning"));
    box.exec();
}

bool CLoaderApp::InitInstance() {
    RunSingleInstance(m_lockPath, ShowAlreadyRunning, [this] {
        CLoaderSession session(m_portRoots);  // creates the log file
        session.Start();
        session.Exec();
    });  // the dialog is destroyed before the lock is let go; that closes the log file
    return false;
}

int CLoaderApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelvar-loader"));
    QApplication::setApplicationVersion(QString::fromUtf8(kStrVersion));
    QApplication::setDesktopFileName(QStringLiteral("zelvar-loader"));
    InitLoaderResources();
    QApplication::setWindowIcon(LoaderIcon());
    InitInstance();
    return 0;
}

}  // namespace zelvar
