#include "gui/win32/image_browser.h"

#include <commdlg.h>

#include "base/wide_text.h"

namespace zelvar::win32 {

namespace {

constexpr DWORD kPathChars = 260;  // room for the chosen path

}  // namespace

std::wstring ToFileDialogFilter(const char* filter) {
    std::wstring result = WideFromUtf8(filter);
    for (wchar_t& c : result) {
        if (c == L'|') c = L'\0';
    }
    return result;
}

bool BrowseForImage(HWND owner, std::string& path, const char* title, const char* filter) {
    const std::wstring filters = ToFileDialogFilter(filter);
    const std::wstring heading = WideFromUtf8(title);
    wchar_t file[kPathChars] = {};
    const std::wstring initial = WideFromUtf8(path.c_str());
    initial.copy(file, kPathChars - 1);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kPathChars;
    dialog.lpstrTitle = heading.c_str();
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOTESTFILECREATE | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog)) return false;
    path = Utf8FromWide(file);
    return true;
}

}  // namespace zelvar::win32
