// The save-kind common file dialog that picks the firmware image: a name that need not
// exist yet, no read-only box, no test creation of the file.
#pragma once

#include <windows.h>

#include <string>

namespace zelvar::win32 {

// "Text(*.a)|*.a|All(*.*)|*.*||" as the common dialog's filter: pairs ended by NULs.
std::wstring ToFileDialogFilter(const char* filter);

// Runs the dialog modally, owned by owner. path holds the initial name and receives
// the chosen full path; false when the user cancelled.
bool BrowseForImage(HWND owner, std::string& path, const char* title, const char* filter);

}  // namespace zelvar::win32
