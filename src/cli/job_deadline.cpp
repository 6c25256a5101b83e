#include "cli/job_deadline.h"

#include <chrono>
#include <cstdio>

#include "base/job_failure.h"
#include "base/message_log.h"
#include "base/shared_state.h"

namespace zelvar::cli {

CJobDeadline::CJobDeadline(double seconds) {
    if (seconds > 0) m_thread = std::thread(&CJobDeadline::Watch, this, seconds);
}

CJobDeadline::~CJobDeadline() {
    Stop();
}

void CJobDeadline::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CJobDeadline::Watch(double seconds) {
    std::unique_lock lock(m_mutex);
    const auto limit = std::chrono::duration<double>(seconds);
    if (m_wake.wait_for(lock, limit, [this] { return m_stopped; })) return;
    m_expired.store(true);
    // Said in the log too, so that the "Upload failed" that follows has its reason there.
    char text[80];
    std::snprintf(text, sizeof text, "Time limit of %g s passed: stopping", seconds);
    NoteJobFailure(text);
    ShowStatus(text);
    g_jobCancel.store(true);
}

}  // namespace zelvar::cli
