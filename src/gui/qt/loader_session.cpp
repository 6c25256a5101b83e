#include "gui/qt/loader_session.h"

#include "gui/qt/image_browser.h"

namespace zelvar {

CLoaderSession::CLoaderSession(const SerialPortRoots& ports)
    : m_window(std::make_unique<CLoaderWindow>()),
      m_seam(std::make_shared<CQtMainWindow>(m_window.get())),
      m_session(
          std::make_unique<CDialogSession>(static_cast<IDialogFrontEnd&>(*this),
                                           DescribeSerialPorts(ports, FindSerialPorts(ports)))) {}

CLoaderSession::~CLoaderSession() {
    m_session->Finish();
}

int CLoaderSession::Exec() {
    return m_window->exec();
}

bool CLoaderSession::BrowseForImage(std::string& path, const char* title, const char* filter) {
    return zelvar::BrowseForImage(m_window.get(), path, title, filter);
}

}  // namespace zelvar
