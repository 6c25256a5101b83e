#include "gui/win32/loader_session.h"

#include "base/loader_events.h"
#include "gui/common/serial_port_list.h"
#include "gui/win32/image_browser.h"

namespace zelvar::win32 {

namespace {

std::vector<PortChoice> SystemPorts() {
    const SerialPortRoots roots = SystemSerialPortRoots();
    return DescribeSerialPorts(roots, FindSerialPorts(roots));
}

}  // namespace

// A failed job's end for the taskbar button; the seam hands it to the dialog's thread.
class CLoaderSession::CJobEndSink : public IEventSink {
  public:
    explicit CJobEndSink(std::weak_ptr<CWin32MainWindow> seam) : m_seam(std::move(seam)) {}
    void OnEvent(const LoaderEvent& event) override {
        if (event.kind != EventKind::JobEnd) return;
        if (auto seam = m_seam.lock()) seam->ShowJobEnd(event.success);
    }

  private:
    std::weak_ptr<CWin32MainWindow> m_seam;
};

CLoaderSession::CLoaderSession()
    : m_seam(std::make_shared<CWin32MainWindow>()),
      m_window(std::make_unique<CLoaderWindow>(*m_seam)),
      m_session(
          std::make_unique<CDialogSession>(static_cast<IDialogFrontEnd&>(*this), SystemPorts())),
      m_jobEnd(std::make_shared<CJobEndSink>(m_seam)) {
    CLoaderDlg* dialog = &m_session->Dialog();
    m_window->SetDevicesChanged([dialog] { dialog->OnPortsChanged(SystemPorts()); });
    AddEventSink(m_jobEnd);
}

CLoaderSession::~CLoaderSession() {
    Finish();
}

bool CLoaderSession::Create() {
    return m_window->Create([this] { m_session->Start(); });
}

void CLoaderSession::Finish() {
    RemoveEventSink(m_jobEnd);
    if (m_window) m_window->SetDevicesChanged({});
    m_session->Finish();
}

bool CLoaderSession::BrowseForImage(std::string& path, const char* title, const char* filter) {
    return win32::BrowseForImage(m_window->Handle(), path, title, filter);
}

}  // namespace zelvar::win32
