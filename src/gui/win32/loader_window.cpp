#include "gui/win32/loader_window.h"

#include <dbt.h>

#include <algorithm>

#include "base/main_window.h"
#include "base/resource_ids.h"
#include "base/wide_text.h"
#include "gui/common/dialog_template.h"
#include "gui/common/progress_title.h"
#include "gui/win32/win32_main_window.h"

namespace zelvar::win32 {

namespace {

constexpr int kIconResource = 128;
constexpr int kLogoResource = 129;
constexpr COLORREF kFillColour = RGB(0x9C, 0xD4, 0x9C);
constexpr ULONGLONG kPercentTotal = 100;

void Centre(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A bitmap of the control's size, filled with the done share from the left.
HBITMAP FillBitmap(HDC dc, int width, int height, int percent) {
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(width, 1), std::max(height, 1));
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, GetSysColorBrush(COLOR_3DFACE));
    RECT done{0, 0, width * std::clamp(percent, 0, 100) / 100, height};
    HBRUSH fill = CreateSolidBrush(kFillColour);
    FillRect(memory, &done, fill);
    DeleteObject(fill);
    SelectObject(memory, old);
    DeleteDC(memory);
    return bitmap;
}

}  // namespace

CLoaderWindow::CLoaderWindow(CWin32MainWindow& seam)
    : m_seam(seam),
      m_progress(kNoProgress),
      m_taskbarCreated(RegisterWindowMessageW(L"TaskbarButtonCreated")) {}

CLoaderWindow::~CLoaderWindow() {
    Destroy();
    if (m_fill) DeleteObject(m_fill);
    if (m_logo) DeleteObject(m_logo);
    if (m_bigIcon) DestroyIcon(m_bigIcon);
    if (m_smallIcon) DestroyIcon(m_smallIcon);
}

bool CLoaderWindow::Create(std::function<void()> onInit) {
    m_onInit = std::move(onInit);
    m_handle =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(MainDialogTemplate().id),
                           nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    return m_handle != nullptr;
}

void CLoaderWindow::RunModal() {
    MSG message;
    while (!m_ended && m_handle && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(m_handle, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    Destroy();
}

void CLoaderWindow::EndAsCancel() {
    m_ended = true;
    if (m_handle) PostMessageW(m_handle, WM_NULL, 0, 0);  // wakes the loop
}

void CLoaderWindow::Destroy() {
    if (m_handle) DestroyWindow(m_handle);
}

HWND CLoaderWindow::Control(int id) const {
    if (!m_handle) return nullptr;
    return id == IDC_WINDOW ? m_handle : GetDlgItem(m_handle, id);
}

INT_PTR CALLBACK CLoaderWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CLoaderWindow*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->m_handle = dialog;
    }
    auto* self = reinterpret_cast<CLoaderWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CLoaderWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_taskbarCreated && m_taskbarCreated != 0) {
        if (!m_taskbar &&
            SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ITaskbarList3, reinterpret_cast<void**>(&m_taskbar)))) {
            m_taskbar->HrInit();
        }
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG:
            OnInit();
            return TRUE;  // the focus goes to the first tab stop
        case kTaskMessage:
            m_seam.RunTask();
            return TRUE;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            if (m_events.closeRequest) {
                m_events.closeRequest();
            } else {
                EndAsCancel();
            }
            return TRUE;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == Control(m_progressId) &&
                m_progress != kNoProgress) {
                return reinterpret_cast<INT_PTR>(
                    ProgressBrush(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
            }
            return FALSE;
        case WM_DEVICECHANGE:
            if ((wParam == DBT_DEVNODES_CHANGED || wParam == DBT_DEVICEARRIVAL ||
                 wParam == DBT_DEVICEREMOVECOMPLETE) &&
                m_devicesChanged) {
                m_devicesChanged();
            }
            return TRUE;
        case WM_DPICHANGED: {
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(m_handle, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return TRUE;
        }
        case WM_DESTROY:
            // From here on the worker's calls are dropped; nothing posts to this handle.
            m_seam.Detach();
            if (m_taskbar) m_taskbar->Release();
            m_taskbar = nullptr;
            return FALSE;
        case WM_NCDESTROY:
            m_handle = nullptr;
            m_ended = true;
            return FALSE;
        default:
            return FALSE;
    }
}

void CLoaderWindow::OnInit() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    m_bigIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    m_smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                                IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(m_handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon));
    SendMessageW(m_handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    if (HWND logo = Control(IDC_LOGO)) {
        RECT room{};
        GetClientRect(logo, &room);
        m_logo = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(kLogoResource),
                                                 IMAGE_BITMAP, room.right, room.bottom, 0));
        SendMessageW(logo, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_logo));
    }
    Centre(m_handle);
    m_seam.Attach(this);
    if (m_onInit) m_onInit();
}

void CLoaderWindow::OnCommand(int id, int code) {
    switch (id) {
        case IDOK:
            if (m_events.ok) m_events.ok();
            return;
        case IDCANCEL:
            if (m_events.cancel) m_events.cancel();
            return;
        case IDC_SPEED_LIST:
            if (code == CBN_SELCHANGE && m_events.command) m_events.command(id);
            return;
        case IDC_PORT_LIST:
            if (code == CBN_EDITCHANGE) m_portTyped = true;
            if (code == CBN_SELCHANGE) {
                // The edit field shows the choice only after this notification.
                const LRESULT index = SendDlgItemMessageW(m_handle, id, CB_GETCURSEL, 0, 0);
                const LRESULT length = SendDlgItemMessageW(m_handle, id, CB_GETLBTEXTLEN, index, 0);
                if (index < 0 || length < 0) return;
                std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
                SendDlgItemMessageW(m_handle, id, CB_GETLBTEXT, index,
                                    reinterpret_cast<LPARAM>(item.data()));
                SetDlgItemTextW(m_handle, id, item.c_str());
            } else if (code != CBN_KILLFOCUS || !m_portTyped) {
                return;
            }
            m_portTyped = false;
            if (m_events.command) m_events.command(id);
            return;
        case IDC_IMAGE_LIST:
            return;
        default:
            if (code == BN_CLICKED && m_events.command) m_events.command(id);  // STN_CLICKED too
            return;
    }
}

HBRUSH CLoaderWindow::ProgressBrush(HDC dc, HWND control) {
    RECT size{};
    GetClientRect(control, &size);
    if (m_fill) DeleteObject(m_fill);
    HBITMAP bitmap = FillBitmap(dc, size.right, size.bottom, m_progress);
    m_fill = CreatePatternBrush(bitmap);
    DeleteObject(bitmap);
    SetBkMode(dc, TRANSPARENT);
    return m_fill;
}

void CLoaderWindow::ShowProgress(int id, int percent) {
    HWND control = Control(id);
    if (!control || control == m_handle) return;
    m_progressId = id;
    if (percent != kNoProgress) m_failed = false;
    if (percent != m_progress) {
        m_progress = percent;
        const std::string title = ProgressTitle(MainDialogTemplate().caption, percent);
        SetWindowTextW(m_handle, WideFromUtf8(title.c_str()).c_str());
    }
    InvalidateRect(control, nullptr, TRUE);
    SetTaskbarProgress();
}

void CLoaderWindow::ShowJobEnd(bool success) {
    m_failed = !success;
    SetTaskbarProgress();
}

void CLoaderWindow::SetTaskbarProgress() {
    if (!m_taskbar) return;
    if (m_failed) {
        m_taskbar->SetProgressValue(m_handle, kPercentTotal, kPercentTotal);
        m_taskbar->SetProgressState(m_handle, TBPF_ERROR);
    } else if (m_progress == kNoProgress) {
        m_taskbar->SetProgressState(m_handle, TBPF_NOPROGRESS);
    } else {
        m_taskbar->SetProgressState(m_handle, TBPF_NORMAL);
        m_taskbar->SetProgressValue(m_handle, static_cast<ULONGLONG>(m_progress), kPercentTotal);
    }
}

}  // namespace zelvar::win32
