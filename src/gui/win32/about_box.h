// The About box (template 135) on Win32, modal, owned by the main dialog.
#pragma once

#include <windows.h>

#include <string>

namespace zelvar::win32 {

// Shows title in control 1023 and text in control 1020; returns when it is closed.
void RunAboutBox(HWND owner, const std::string& title, const std::string& text);

}  // namespace zelvar::win32
