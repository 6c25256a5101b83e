#include "gui/loader_app.h"

#include <QApplication>
#include <QMessageBox>

#include "base/resource_ids.h"
#include "gui/instance_lock.h"
#include "gui/loader_resources.h"
#include "gui/loader_session.h"
#include "gui/loader_window.h"

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
    // Held for the whole run; the kernel drops it however this copy ends.
    CInstanceLock lock(m_lockPath);
    if (!lock.Acquire()) {
        ShowAlreadyRunning();
        return false;
    }
    {
        CLoaderSession session(m_portRoots);  // creates the log file
        session.Start();
        session.Exec();
    }  // the dialog is destroyed here, which closes the log file
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
