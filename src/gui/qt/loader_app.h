// The application object: start-up of the desktop loader. It refuses to run a second
// copy for the same user, then runs the main dialog modally as the application's main
// window and ends the program when the dialog closes.
#pragma once

#include <string>

#include "gui/common/serial_port_list.h"

namespace zelvar {

class CLoaderApp {
  public:
    CLoaderApp();
    CLoaderApp(const CLoaderApp&) = delete;
    CLoaderApp& operator=(const CLoaderApp&) = delete;

    // Where the instance lock lives (tests point it into a private directory).
    void SetLockPath(std::string path) { m_lockPath = std::move(path); }
    void SetPortRoots(SerialPortRoots roots) { m_portRoots = std::move(roots); }

    // The framework's start hook; a QApplication must exist. Shows the refusal box or
    // runs the dialog, and returns false in every case.
    bool InitInstance();

    // Builds the QApplication and runs InitInstance; the program's exit code.
    int Run(int argc, char** argv);

  private:
    std::string m_lockPath;
    SerialPortRoots m_portRoots;
};

// Shows string 1 in an information box captioned with string 57346, owned by no window.
void ShowAlreadyRunning();

}  // namespace zelvar
