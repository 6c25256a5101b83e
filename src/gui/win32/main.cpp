// zelvar-loader.exe: the firmware loader's dialog on Windows.
#include <windows.h>
// The Windows headers first; these need its types.
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>

#include "base/resource_ids.h"
#include "base/wide_text.h"
#include "gui/common/instance_lock.h"
#include "gui/common/single_instance.h"
#include "gui/win32/loader_session.h"

namespace {

// String 1 captioned with string 57346, owned by no window (this copy has none).
void ShowAlreadyRunning() {
    using namespace zelvar;
    MessageBoxW(nullptr, WideFromUtf8(LoadResourceString(IDS_ALREADY_RUNNING)).c_str(),
                WideFromUtf8(LoadResourceString(IDS_LOADER_NAME)).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

void RunDialog() {
    zelvar::win32::CLoaderSession session;  // creates the log file
    if (session.Create()) session.Exec();
}  // the dialog is destroyed here, which closes the log file

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    zelvar::RunSingleInstance(zelvar::CInstanceLock::DefaultPath(), ShowAlreadyRunning, RunDialog);
    if (com) CoUninitialize();
    // A job still running on the worker thread is neither stopped nor waited for: it
    // ends with the process, without the process-wide destructors under it.
    std::fflush(nullptr);
    std::_Exit(0);
}
