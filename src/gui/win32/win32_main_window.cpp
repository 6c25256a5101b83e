#include "gui/win32/win32_main_window.h"

#include <string>

#include "base/resource_ids.h"
#include "base/wide_text.h"
#include "gui/common/dialog_template.h"
#include "gui/win32/about_box.h"
#include "gui/win32/loader_window.h"

namespace zelvar::win32 {

// What the tasks act on. window is read and written on the dialog's thread only;
// handle is set before any call and posted to only while the hand-over is open.
struct CWin32MainWindow::Target {
    CLoaderWindow* window = nullptr;
    HWND handle = nullptr;
};

namespace {

bool IsListBox(int id) {
    const ControlTemplate* control = FindControl(MainDialogTemplate(), id);
    return control && control->kind == ControlKind::ListBox;
}

// The list box or combo box message of the same meaning.
UINT ListMessage(int id, UINT listBox, UINT comboBox) {
    return IsListBox(id) ? listBox : comboBox;
}

std::string WindowText(HWND window) {
    if (!window) return std::string();
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    return Utf8FromWide(text.c_str(), got);
}

UINT BoxFlags(AskButtons buttons, AskIcon icon) {
    UINT flags = buttons == AskButtons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
        case AskIcon::Information:
            return flags | MB_ICONINFORMATION;
        case AskIcon::Warning:
            return flags | MB_ICONWARNING;
        case AskIcon::Error:
            return flags | MB_ICONERROR;
        case AskIcon::None:
            break;
    }
    return flags;
}

}  // namespace

CWin32MainWindow::CWin32MainWindow()
    : m_target(std::make_shared<Target>()),
      m_handOver(std::make_shared<CSeamHandOver>(
          [target = m_target] { PostMessageW(target->handle, kTaskMessage, 0, 0); })) {}

CWin32MainWindow::~CWin32MainWindow() {
    m_handOver->Close();
}

void CWin32MainWindow::Attach(CLoaderWindow* window) {
    m_target->window = window;
    m_target->handle = window->Handle();
}

void CWin32MainWindow::Detach() {
    m_handOver->Close();
    m_target->window = nullptr;
}

template <typename Result, typename Action>
Result CWin32MainWindow::Call(Result fallback, Action action) {
    return m_handOver->Call(fallback, [target = m_target, fallback, action]() mutable {
        CLoaderWindow* window = target->window;
        return window ? action(*window) : fallback;
    });
}

template <typename Action>
void CWin32MainWindow::Do(Action action) {
    Call(false, [action](CLoaderWindow& window) mutable {
        action(window);
        return true;
    });
}

void CWin32MainWindow::ShowJobEnd(bool success) {
    Do([success](CLoaderWindow& w) { w.ShowJobEnd(success); });
}

void CWin32MainWindow::SetText(int id, std::string_view text) {
    Do([id, value = WideFromUtf8(std::string(text).c_str())](CLoaderWindow& w) {
        if (HWND control = w.Control(id)) SetWindowTextW(control, value.c_str());
    });
}

std::string CWin32MainWindow::GetText(int id) {
    return Call(std::string(), [id](CLoaderWindow& w) { return WindowText(w.Control(id)); });
}

void CWin32MainWindow::Enable(int id, bool enable) {
    Do([id, enable](CLoaderWindow& w) {
        if (HWND control = w.Control(id)) EnableWindow(control, enable);
    });
}

bool CWin32MainWindow::IsEnabled(int id) {
    return Call(false, [id](CLoaderWindow& w) {
        HWND control = w.Control(id);
        return control && IsWindowEnabled(control);
    });
}

void CWin32MainWindow::Show(int id, bool show) {
    Do([id, show](CLoaderWindow& w) {
        if (HWND control = w.Control(id)) ShowWindow(control, show ? SW_SHOW : SW_HIDE);
    });
}

bool CWin32MainWindow::IsShown(int id) {
    // The control's own flag, whether or not the dialog is on screen yet.
    return Call(false, [id](CLoaderWindow& w) {
        HWND control = w.Control(id);
        return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    });
}

void CWin32MainWindow::SetFocus(int id) {
    Do([id](CLoaderWindow& w) {
        if (HWND control = w.Control(id)) {
            SendMessageW(w.Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        }
    });
}

int CWin32MainWindow::ListAdd(int id, std::string_view text) {
    return Call(-1, [id, value = WideFromUtf8(std::string(text).c_str())](CLoaderWindow& w) {
        const LRESULT index =
            SendDlgItemMessageW(w.Handle(), id, ListMessage(id, LB_ADDSTRING, CB_ADDSTRING), 0,
                                reinterpret_cast<LPARAM>(value.c_str()));
        return index < 0 ? -1 : static_cast<int>(index);
    });
}

void CWin32MainWindow::ListDelete(int id, int index) {
    Do([id, index](CLoaderWindow& w) {
        SendDlgItemMessageW(w.Handle(), id, ListMessage(id, LB_DELETESTRING, CB_DELETESTRING),
                            static_cast<WPARAM>(index), 0);
    });
}

void CWin32MainWindow::ListSelect(int id, int index) {
    Do([id, index](CLoaderWindow& w) {
        SendDlgItemMessageW(w.Handle(), id, ListMessage(id, LB_SETCURSEL, CB_SETCURSEL),
                            static_cast<WPARAM>(index), 0);
    });
}

int CWin32MainWindow::ListSelection(int id) {
    return Call(-1, [id](CLoaderWindow& w) {
        const LRESULT index =
            SendDlgItemMessageW(w.Handle(), id, ListMessage(id, LB_GETCURSEL, CB_GETCURSEL), 0, 0);
        return index < 0 ? -1 : static_cast<int>(index);
    });
}

int CWin32MainWindow::ListCount(int id) {
    return Call(0, [id](CLoaderWindow& w) {
        const LRESULT count =
            SendDlgItemMessageW(w.Handle(), id, ListMessage(id, LB_GETCOUNT, CB_GETCOUNT), 0, 0);
        return count < 0 ? 0 : static_cast<int>(count);
    });
}

std::string CWin32MainWindow::ListItem(int id, int index) {
    return Call(std::string(), [id, index](CLoaderWindow& w) {
        const LRESULT length =
            SendDlgItemMessageW(w.Handle(), id, ListMessage(id, LB_GETTEXTLEN, CB_GETLBTEXTLEN),
                                static_cast<WPARAM>(index), 0);
        if (length < 0) return std::string();
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        SendDlgItemMessageW(w.Handle(), id, ListMessage(id, LB_GETTEXT, CB_GETLBTEXT),
                            static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        return Utf8FromWide(text.c_str(), static_cast<int>(length));
    });
}

void CWin32MainWindow::ListReset(int id) {
    Do([id](CLoaderWindow& w) {
        SendDlgItemMessageW(w.Handle(), id, ListMessage(id, LB_RESETCONTENT, CB_RESETCONTENT), 0,
                            0);
    });
}

void CWin32MainWindow::Repaint(int id) {
    Do([id](CLoaderWindow& w) {
        if (HWND control = w.Control(id)) {
            RedrawWindow(control, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
    });
}

void CWin32MainWindow::ShowProgress(int id, int percent) {
    Do([id, percent](CLoaderWindow& w) { w.ShowProgress(id, percent); });
}

bool CWin32MainWindow::AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
                               AskIcon icon) {
    const std::string title = caption.empty() ? kStrAppTitle : std::string(caption);
    return Call(false, [value = WideFromUtf8(std::string(text).c_str()),
                        heading = WideFromUtf8(title.c_str()), buttons, icon](CLoaderWindow& w) {
        const int answer =
            MessageBoxW(w.Handle(), value.c_str(), heading.c_str(), BoxFlags(buttons, icon));
        return answer == IDYES || answer == IDOK;
    });
}

void CWin32MainWindow::ShowAbout(std::string_view title, std::string_view text) {
    Do([heading = std::string(title), body = std::string(text)](CLoaderWindow& w) {
        RunAboutBox(w.Handle(), heading, body);
    });
}

void CWin32MainWindow::EndDialog() {
    Do([](CLoaderWindow& w) { w.EndAsCancel(); });
}

}  // namespace zelvar::win32
