// A port opened on the slave side of a fresh pty, with a headless main window, for the
// receiver query tests. The loader dialect flag is process-wide and never cleared by
// the product; each test starts from a known value of it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "link/port.h"
#include "link/receiver_queries.h"
#include "support/pty_pair.h"
#include "support/test_env.h"

namespace zelvar::test {

// Test-only: puts the loader dialect flag back to a given state between tests.
inline void SetLoaderDialectForTest(bool detected) {
    g_pflDetected = detected;
}

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetLoaderDialectForTest(false);
        m_handle = OpenPort(m_pty.SlavePath().c_str(), 19200);
        ASSERT_NE(m_handle, kInvalidPort);
    }
    void TearDown() override {
        ClosePort(m_handle);
        SetLoaderDialectForTest(false);
    }

    WindowFixture m_window{false};
    PtyPair m_pty;
    PortHandle m_handle = kInvalidPort;
};

// Milliseconds that f takes.
template <typename F>
long long ElapsedMs(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

}  // namespace zelvar::test
