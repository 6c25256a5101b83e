// Drives a running zelvar-loader.exe from outside, by window messages only, as a user
// would: the end-to-end test under Wine runs one step per call.
//   dialog_driver connect PORT        Connect GPS on PORT (typed into the port list)
//   dialog_driver flash IMAGE [MARK]  Load IMAGE, the question answered Yes; with MARK,
//                                     says "programming" once programming runs, then
//                                     gives the job 5 s after the file MARK appears
//   dialog_driver refused             the second copy's refusal box, closed with OK
//   dialog_driver about               clicks the logo (the About box opens)
//   dialog_driver about-ok            the same, then prints the About box's texts and
//                                     closes it with OK
//   dialog_driver close               closes the dialog
// Prints the message list at the end; exit 0 when the step ended as it should.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "base/resource_ids.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFindLimit = std::chrono::seconds(30);
constexpr auto kConnectLimit = std::chrono::seconds(60);
constexpr auto kFlashLimit = std::chrono::seconds(150);
constexpr auto kEndAfterLoss = std::chrono::seconds(5);  // the job's end after a lost line
constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr DWORD kSendLimitMs = 10000;  // one message handled by the dialog
const wchar_t* const kCaption = L"GPS firmware loader 1.12";

std::wstring Wide(const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
    return wide;
}

// Waits until found() gives a window, or the limit passes.
template <typename Find>
HWND WaitFor(Find found, Clock::duration limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (HWND window = found()) return window;
        std::this_thread::sleep_for(kPoll);
    }
    return nullptr;
}

LRESULT Send(HWND window, UINT message, WPARAM w = 0, LPARAM l = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, w, l, SMTO_NORMAL, kSendLimitMs, &result);
    return static_cast<LRESULT>(result);
}

std::vector<std::wstring> MessageList(HWND dialog) {
    HWND list = GetDlgItem(dialog, zelvar::IDC_MESSAGE_LIST);
    std::vector<std::wstring> lines;
    const LRESULT count = Send(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring line(static_cast<std::size_t>(Send(list, LB_GETTEXTLEN, i)) + 1, L'\0');
        Send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
        line.resize(std::wcslen(line.c_str()));
        lines.push_back(line);
    }
    return lines;
}

bool HasLine(HWND dialog, const wchar_t* prefix) {
    for (const std::wstring& line : MessageList(dialog)) {
        if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

void PrintList(HWND dialog) {
    for (const std::wstring& line : MessageList(dialog)) std::printf("list: %ls\n", line.c_str());
    std::fflush(stdout);
}

void Click(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

// A message box that window owns.
HWND OwnedBox(HWND owner) {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
        if (GetWindow(box, GW_OWNER) == owner && IsWindowVisible(box)) return box;
    }
    return nullptr;
}

std::wstring Title(HWND window) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return text;
}

int Connect(HWND dialog, const char* port) {
    HWND ports = GetDlgItem(dialog, zelvar::IDC_PORT_LIST);
    HWND typed = FindWindowExW(ports, nullptr, L"Edit", nullptr);  // the combo box's field
    const std::wstring name = Wide(port);
    Send(typed ? typed : ports, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    // As typing and leaving the field tell the dialog.
    Send(dialog, WM_COMMAND, MAKEWPARAM(zelvar::IDC_PORT_LIST, CBN_EDITCHANGE),
         reinterpret_cast<LPARAM>(ports));
    Send(dialog, WM_COMMAND, MAKEWPARAM(zelvar::IDC_PORT_LIST, CBN_KILLFOCUS),
         reinterpret_cast<LPARAM>(ports));
    wchar_t shown[64] = {};
    Send(typed ? typed : ports, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(shown));
    std::printf("port: %ls\n", shown);
    Click(dialog, zelvar::IDC_CONNECT);
    const bool ended = WaitFor(
        [&] {
            return HasLine(dialog, L"GPS connected at") || HasLine(dialog, L"Cannot connect")
                       ? dialog
                       : nullptr;
        },
        kConnectLimit);
    PrintList(dialog);
    const bool load = Enabled(dialog, zelvar::IDC_LOAD);
    std::printf("load %s\n", load ? "enabled" : "disabled");
    return ended && HasLine(dialog, L"GPS connected at") && load ? 0 : 1;
}

// Clicks the logo; with check, waits for the About box, prints its texts and closes it
// with OK. 0 when the box came (and, with check, went again).
int About(HWND dialog, bool check) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(zelvar::IDC_LOGO, STN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, zelvar::IDC_LOGO)));
    if (!check) return 0;
    HWND box = WaitFor([&] { return OwnedBox(dialog); }, kFindLimit);
    if (!box) {
        std::printf("no about box\n");
        return 1;
    }
    wchar_t text[512] = {};
    Send(GetDlgItem(box, zelvar::IDC_ABOUT_TITLE), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    std::printf("about title: %ls\n", text);
    text[0] = 0;
    Send(GetDlgItem(box, zelvar::IDC_ABOUT_TEXT), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    std::printf("about text: %ls\n", text);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(zelvar::IDC_ABOUT_OK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, zelvar::IDC_ABOUT_OK)));
    const bool gone = WaitFor([&] { return IsWindow(box) ? nullptr : dialog; }, kFindLimit);
    std::printf("about box %s\n", gone ? "closed" : "still open");
    return gone ? 0 : 1;
}

// Waits for the job's verdict; answers every question Yes on the way.
bool WaitForVerdict(HWND dialog, Clock::duration limit, const char* mark) {
    bool saidProgramming = false;
    auto end = Clock::now() + limit;
    bool markSeen = false;
    while (Clock::now() < end) {
        if (HWND box = OwnedBox(dialog)) {
            std::printf("question: %ls\n", Title(box).c_str());
            PostMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
        }
        if (mark && !saidProgramming && Title(dialog).find(L"% - ") != std::wstring::npos) {
            std::printf("programming\n");
            std::fflush(stdout);
            saidProgramming = true;
        }
        if (mark && !markSeen && GetFileAttributesA(mark) != INVALID_FILE_ATTRIBUTES) {
            markSeen = true;
            end = Clock::now() + kEndAfterLoss;
        }
        const std::vector<std::wstring> lines = MessageList(dialog);
        if (!lines.empty() &&
            (lines.back() == L"Upload complete" || lines.back() == L"Upload failed") &&
            Enabled(dialog, zelvar::IDC_CONNECT)) {
            return true;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return false;
}

int Flash(HWND dialog, const char* image, const char* mark) {
    const std::wstring path = Wide(image);
    Send(GetDlgItem(dialog, zelvar::IDC_IMAGE_LIST), WM_SETTEXT, 0,
         reinterpret_cast<LPARAM>(path.c_str()));
    Click(dialog, zelvar::IDC_LOAD);
    const bool ended = WaitForVerdict(dialog, kFlashLimit, mark);
    PrintList(dialog);
    const std::vector<std::wstring> lines = MessageList(dialog);
    const std::wstring verdict = lines.empty() ? L"" : lines.back();
    std::printf("verdict: %ls, controls %s, load %s\n", verdict.c_str(),
                Enabled(dialog, zelvar::IDC_CONNECT) ? "back" : "off",
                Enabled(dialog, zelvar::IDC_LOAD) ? "enabled" : "disabled");
    if (!ended) return 1;
    return verdict == (mark ? L"Upload failed" : L"Upload complete") ? 0 : 1;
}

int Refused() {
    // Captioned with string 57346, which the main dialog's caption only begins with.
    HWND box = WaitFor([] { return FindWindowW(L"#32770", L"GPS firmware loader"); }, kFindLimit);
    if (!box) return 1;
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);  // the message box's text
    std::printf("refused: %ls\n", text);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return std::wcsstr(text, L"Application is already runnning!") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string step = argc > 1 ? argv[1] : "";
    if (step == "refused") return Refused();
    // Ready once initialised: visible, with its port list filled.
    HWND dialog = WaitFor(
        [] {
            HWND found = FindWindowW(L"#32770", kCaption);
            const bool ready = found && IsWindowVisible(found) &&
                               Send(GetDlgItem(found, zelvar::IDC_PORT_LIST), CB_GETCOUNT) >= 2;
            return ready ? found : nullptr;
        },
        kFindLimit);
    if (!dialog) {
        std::printf("no dialog\n");
        return 1;
    }
    if (step == "connect" && argc == 3) return Connect(dialog, argv[2]);
    if (step == "flash" && (argc == 3 || argc == 4))
        return Flash(dialog, argv[2], argc == 4 ? argv[3] : nullptr);
    if (step == "about") return About(dialog, false);
    if (step == "about-ok") return About(dialog, true);
    if (step == "close") {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(
        stderr,
        "usage: dialog_driver connect PORT | flash IMAGE [MARK] | refused | about | about-ok | "
        "close\n");
    return 64;
}
