#include "gui/win32/about_box.h"

#include "base/resource_ids.h"
#include "base/wide_text.h"
#include "gui/common/dialog_template.h"

namespace zelvar::win32 {

namespace {

struct AboutTexts {
    std::wstring title;
    std::wstring text;
};

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* texts = reinterpret_cast<const AboutTexts*>(lParam);
            SetDlgItemTextW(dialog, IDC_ABOUT_TITLE, texts->title.c_str());
            SetDlgItemTextW(dialog, IDC_ABOUT_TEXT, texts->text.c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunAboutBox(HWND owner, const std::string& title, const std::string& text) {
    AboutTexts texts{WideFromUtf8(title.c_str()), WideFromUtf8(text.c_str())};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(AboutDialogTemplate().id), owner,
                    AboutProc, reinterpret_cast<LPARAM>(&texts));
}

}  // namespace zelvar::win32
