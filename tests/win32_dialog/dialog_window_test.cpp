// The Win32 dialog under Wine: the built dialog resources against the control table,
// the seam's calls on the real controls, and the hand-over when the window goes while
// a worker reports.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "base/resource_ids.h"
#include "base/wide_text.h"
#include "gui/common/dialog_template.h"
#include "gui/win32/control_styles.h"
#include "gui/win32/loader_window.h"
#include "gui/win32/win32_main_window.h"

namespace zelvar::win32 {
namespace {

constexpr auto kWorkerLimit = std::chrono::seconds(10);

// Handles the window messages queued for this thread, for about ms milliseconds.
void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(1);
    } while (std::chrono::steady_clock::now() < end);
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Utf8FromWide(name);
}

// Every control of tmpl in dialog, in template order, as the table gives it.
void ExpectControlsAsTable(HWND dialog, const DialogTemplate& tmpl) {
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ControlTemplate& control : tmpl.controls) {
        SCOPED_TRACE(control.id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), control.id);  // template (and tab) order
        EXPECT_EQ(lstrcmpiA(ClassOf(child).c_str(), ControlClass(control.kind)), 0)
            << ClassOf(child);
        const unsigned style = static_cast<unsigned>(GetWindowLongW(child, GWL_STYLE));
        // List and combo boxes manage their scroll bars themselves; the dialog manager
        // draws a border as a sunken client edge.
        const bool lists = lstrcmpiA(ControlClass(control.kind), "ListBox") == 0 ||
                           lstrcmpiA(ControlClass(control.kind), "ComboBox") == 0;
        const unsigned selfManaged = (lists ? WS_VSCROLL | WS_HSCROLL : 0) | WS_BORDER;
        const unsigned expected = Win32ControlStyle(control) & ~selfManaged;
        const bool bordered =
            (style & WS_BORDER) || (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        EXPECT_EQ(bordered, (Win32ControlStyle(control) & WS_BORDER) != 0);
        EXPECT_EQ(style & expected, expected);
        EXPECT_EQ(style & (WS_VISIBLE | WS_DISABLED), expected & (WS_VISIBLE | WS_DISABLED));
        const unsigned exStyle = static_cast<unsigned>(GetWindowLongW(child, GWL_EXSTYLE));
        EXPECT_EQ(exStyle & Win32ControlExStyle(control), Win32ControlExStyle(control));

        // The dialog manager converts position and size each on its own.
        RECT want{control.rect.x, control.rect.y, control.rect.w, control.rect.h};
        MapDialogRect(dialog, &want);
        RECT got{};
        GetWindowRect(child, &got);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right - got.left, want.right);
        // A combo box's template height holds its open list; closed it is one line.
        if (lstrcmpiA(ControlClass(control.kind), "ComboBox") != 0) {
            EXPECT_EQ(got.bottom - got.top, want.bottom);
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "a control the table does not have";
}

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

class DialogWindow : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_window.Create({})); }
    HWND Dialog() { return m_window.Handle(); }
    HWND Control(int id) { return GetDlgItem(Dialog(), id); }
    LRESULT Send(int id, UINT message, WPARAM w = 0, LPARAM l = 0) {
        return SendDlgItemMessageW(Dialog(), id, message, w, l);
    }

    std::shared_ptr<CWin32MainWindow> m_seam = std::make_shared<CWin32MainWindow>();
    CLoaderWindow m_window{*m_seam};
};

TEST_F(DialogWindow, MainDialogIsTemplate102) {
    const DialogTemplate& tmpl = MainDialogTemplate();
    wchar_t caption[64] = {};
    GetWindowTextW(Dialog(), caption, 64);
    EXPECT_EQ(Utf8FromWide(caption), tmpl.caption);
    const unsigned style = static_cast<unsigned>(GetWindowLongW(Dialog(), GWL_STYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
    RECT size{0, 0, tmpl.width, tmpl.height};
    MapDialogRect(Dialog(), &size);
    RECT client{};
    GetClientRect(Dialog(), &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    ExpectControlsAsTable(Dialog(), tmpl);
}

TEST(AboutWindow, AboutBoxIsTemplate135) {
    HWND about =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(AboutDialogTemplate().id),
                           nullptr, PlainProc, 0);
    ASSERT_NE(about, nullptr);
    ExpectControlsAsTable(about, AboutDialogTemplate());
    DestroyWindow(about);
}

TEST_F(DialogWindow, SeamCallsLandOnTheirControls) {
    CWin32MainWindow& seam = *m_seam;
    seam.SetText(IDC_BROWSE_SEND, "Send");
    wchar_t text[16] = {};
    GetDlgItemTextW(Dialog(), IDC_BROWSE_SEND, text, 16);
    EXPECT_STREQ(text, L"Send");
    EXPECT_EQ(seam.GetText(IDC_BROWSE_SEND), "Send");

    // A list box, a sorted combo box and a plain one, each by its own messages.
    seam.ListAdd(IDC_MESSAGE_LIST, "b line");
    EXPECT_EQ(seam.ListAdd(IDC_MESSAGE_LIST, "a line \xC3\xA4"), 1);
    EXPECT_EQ(Send(IDC_MESSAGE_LIST, LB_GETCOUNT), 2);
    EXPECT_EQ(seam.ListItem(IDC_MESSAGE_LIST, 1), "a line \xC3\xA4");
    seam.ListSelect(IDC_MESSAGE_LIST, 1);
    EXPECT_EQ(Send(IDC_MESSAGE_LIST, LB_GETCURSEL), 1);
    seam.ListAdd(IDC_IMAGE_LIST, "zz");
    EXPECT_EQ(seam.ListAdd(IDC_IMAGE_LIST, "aa"), 0);  // sorted
    EXPECT_EQ(Send(IDC_IMAGE_LIST, CB_GETCOUNT), 2);
    seam.ListAdd(IDC_SPEED_LIST, "9600");
    seam.ListSelect(IDC_SPEED_LIST, 0);
    EXPECT_EQ(Send(IDC_SPEED_LIST, CB_GETCURSEL), 0);
    EXPECT_EQ(seam.ListSelection(IDC_SPEED_LIST), 0);
    seam.ListDelete(IDC_MESSAGE_LIST, 0);
    EXPECT_EQ(seam.ListCount(IDC_MESSAGE_LIST), 1);
    seam.ListReset(IDC_IMAGE_LIST);
    EXPECT_EQ(Send(IDC_IMAGE_LIST, CB_GETCOUNT), 0);

    seam.Enable(IDC_LOAD, true);
    EXPECT_TRUE(IsWindowEnabled(Control(IDC_LOAD)));
    EXPECT_TRUE(seam.IsEnabled(IDC_LOAD));
    seam.Show(IDC_HEX, false);
    EXPECT_FALSE(GetWindowLongW(Control(IDC_HEX), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(seam.IsShown(IDC_HEX));
    seam.Show(IDC_MODE, true);
    EXPECT_TRUE(seam.IsShown(IDC_MODE));

    seam.ShowProgress(IDC_STATUS, 42);
    GetWindowTextW(Dialog(), text, 16);
    EXPECT_EQ(Utf8FromWide(text).rfind("42% - GPS", 0), 0u);
    seam.ShowProgress(IDC_STATUS, kNoProgress);
    wchar_t caption[64] = {};
    GetWindowTextW(Dialog(), caption, 64);
    EXPECT_EQ(Utf8FromWide(caption), MainDialogTemplate().caption);
}

TEST_F(DialogWindow, WindowGoesWhileAWorkerReports) {
    std::atomic<bool> stop{false};
    std::atomic<int> handled{0};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        while (!stop) {
            if (m_seam->ListAdd(IDC_MESSAGE_LIST, "line") >= 0) ++handled;
            (void)m_seam->GetText(IDC_STATUS);
        }
        finished = true;
    });
    Pump(300);
    EXPECT_GT(handled.load(), 0) << "the worker's calls were not handled";
    EXPECT_GT(Send(IDC_MESSAGE_LIST, LB_GETCOUNT), 0);
    m_window.Destroy();  // the worker may be waiting for this very window
    Pump(50);
    EXPECT_TRUE(m_seam->IsClosing());
    const int before = handled.load();
    Pump(100);
    EXPECT_EQ(handled.load(), before) << "a call reached a window that is gone";
    stop = true;
    const auto end = std::chrono::steady_clock::now() + kWorkerLimit;
    while (!finished && std::chrono::steady_clock::now() < end) Pump(10);
    ASSERT_TRUE(finished.load()) << "the worker hangs on a closed window";
    worker.join();
    EXPECT_EQ(m_seam->ListAdd(IDC_MESSAGE_LIST, "late"), -1);
}

}  // namespace
}  // namespace zelvar::win32
