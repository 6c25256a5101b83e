// The system calls a console control handler on a thread it starts for each event, so
// the stop action runs there, outside any signal context. A station's worker takes the
// station's stop requests from its stop event the same way, on a thread of its own.
#include <windows.h>

#include <atomic>
#include <thread>

#include "cli/signal_watch.h"
#include "cli/worker_stop_event.h"

namespace zelvar::cli {

namespace {

// Windows ends the process about five seconds after a close event; the handler holds it
// this long so that the stopped job can still finish its log.
constexpr DWORD kCloseGraceMs = 4000;

std::function<void()> g_onStop;  // set once, before the handler is installed
std::atomic<int> g_requests{0};

bool IsStopEvent(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (!IsStopEvent(event)) return FALSE;
    if (g_requests.fetch_add(1) > 0) ExitProcess(kExitInterrupted);
    if (g_onStop) g_onStop();
    if (event == CTRL_CLOSE_EVENT) Sleep(kCloseGraceMs);
    return TRUE;
}

// Each signal of the station's event is one more request, as Ctrl-Break would be.
void WatchStopEvent(HANDLE event) {
    while (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) OnConsoleEvent(CTRL_BREAK_EVENT);
}

}  // namespace

void BlockStopSignals() {}

void WatchStopSignals(std::function<void()> onStop) {
    static bool started = false;
    if (started) return;
    started = true;
    g_onStop = std::move(onStop);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    const std::wstring name = WorkerStopEventName(GetCurrentProcessId());
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (event != nullptr) std::thread(WatchStopEvent, event).detach();
}

}  // namespace zelvar::cli
