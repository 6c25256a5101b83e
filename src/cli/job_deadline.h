// A time limit on a whole command: when it passes, the running job is cancelled
// (g_jobCancel) and ends at its next wait.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zelvar::cli {

class CJobDeadline {
  public:
    // seconds <= 0: no limit, nothing is started.
    explicit CJobDeadline(double seconds);
    ~CJobDeadline();
    CJobDeadline(const CJobDeadline&) = delete;
    CJobDeadline& operator=(const CJobDeadline&) = delete;

    // The limit passed (and the job was cancelled).
    bool Expired() const { return m_expired.load(); }
    // Ends the watch; a limit that has not passed by now never will.
    void Stop();

  private:
    void Watch(double seconds);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopped = false;
    std::atomic<bool> m_expired{false};
    std::thread m_thread;
};

}  // namespace zelvar::cli
