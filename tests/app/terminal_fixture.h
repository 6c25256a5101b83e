// Helpers of the terminal tests: a terminal job on a pty run the way a worker runs
// it, polling for message-list lines, and a clean terminal state for every test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/headless_window.h"
#include "base/resource_ids.h"
#include "base/shared_state.h"
#include "app/terminal.h"
#include "base/terminal_commands.h"
#include "link/port.h"

namespace zelvar::test {

constexpr int kWaitMs = 5000;  // generous: the machine is shared and noisy

inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline std::vector<std::string> Lines(CHeadlessWindow& window) {
    return window.ListItems(IDC_MESSAGE_LIST);
}

inline bool WaitForLines(CHeadlessWindow& window, std::size_t count) {
    return WaitFor([&] { return Lines(window).size() >= count; });
}

// Terminal words back at their start values, no session pending.
inline void ResetTerminalState() {
    ClearTerminalCommands();
    g_hexDisplay = 0;
    g_pauseDisplay = 0;
    g_terminalBaud = 4800;
    g_terminalMode = 0;
    g_jobCancel = false;
    g_portName.Set("GPS1:");
}

// A terminal job on port, as the worker runs one: claim, open at 57600, loop.
class TerminalJob {
  public:
    explicit TerminalJob(const std::string& port, int firstCommand = TermSpeed4800) {
        BeginTerminalSession(port.c_str());
        if (firstCommand != TermIdle) PostTerminalCommand(firstCommand);
        m_thread = std::thread([this, port] {
            if (WaitForTerminalIdle(port.c_str())) {
                PortHandle handle = OpenPort(port.c_str(), 57600);
                if (handle != kInvalidPort) RunTerminal(handle);
            }
            m_done = true;
        });
    }
    ~TerminalJob() {
        if (!m_done) PostTerminalCommand(TermStop);
        if (m_thread.joinable()) m_thread.join();
    }
    TerminalJob(const TerminalJob&) = delete;
    TerminalJob& operator=(const TerminalJob&) = delete;

    bool Done() const { return m_done.load(); }
    bool WaitDone(int timeoutMs = kWaitMs) {
        return WaitFor([this] { return Done(); }, timeoutMs);
    }
    // Leaves terminal mode and waits for the loop to end.
    bool Stop() {
        PostTerminalCommand(TermStop);
        return WaitDone();
    }

  private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

}  // namespace zelvar::test
