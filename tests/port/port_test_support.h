// Helpers of the serial port tests: a port opened on a pty's slave that closes itself,
// the fixture that opens one, a stopwatch and the log file read back as lines.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "link/port.h"
#include "support/pty_pair.h"
#include "support/test_env.h"

namespace zelvar::test {

class ScopedPort {
  public:
    ScopedPort() = default;
    ScopedPort(const std::string& path, int speed) { Open(path, speed); }
    ~ScopedPort() { ClosePort(m_handle); }
    ScopedPort(const ScopedPort&) = delete;
    ScopedPort& operator=(const ScopedPort&) = delete;
    // Closes the port it holds and opens path; false when that cannot be opened.
    bool Open(const std::string& path, int speed) {
        ClosePort(m_handle);
        m_handle = OpenPort(path.c_str(), speed);
        return m_handle != kInvalidPort;
    }
    PortHandle& Handle() { return m_handle; }
    operator PortHandle() const { return m_handle; }

  private:
    PortHandle m_handle = kInvalidPort;
};

// The set-up most port tests share: a headless main window with its log, a fresh pty and
// the port opened on its slave by Open(speed).
class PortOnPty : public ::testing::Test {
  protected:
    bool Open(int speed) { return port.Open(pty.SlavePath(), speed); }
    WindowFixture fixture;
    PtyPair pty;
    ScopedPort port;
};

class Stopwatch {
  public:
    long long Ms() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - m_start)
            .count();
    }

  private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// The log file's lines after the header, without their CR LF.
inline std::vector<std::string> LogLinesAfterHeader(const WindowFixture& fixture) {
    const std::string text = fixture.LogText();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
}

inline int CountLinesStartingWith(const std::vector<std::string>& lines, const std::string& head) {
    int count = 0;
    for (const std::string& line : lines) count += line.rfind(head, 0) == 0 ? 1 : 0;
    return count;
}

}  // namespace zelvar::test
