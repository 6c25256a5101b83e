// The running workers and one loop over all their output: a worker that writes a lot,
// stalls or vanishes never holds up the others. On Linux one poll() over all the pipes
// reads at most one buffer from each ready pipe a round (worker_pool_posix.cpp); on
// Windows a reader thread per pipe hands its buffers to the loop (worker_pool_win32.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zelvar::cli {

class IWorkerListener {
  public:
    virtual ~IWorkerListener() = default;
    virtual void OnWorkerLine(int unit, bool fromStderr, const std::string& line) = 0;
    // The worker's pipes are closed and it has ended with status: the wait status
    // (waitpid) on Linux, the process's exit code on Windows (worker_status.h reads it).
    virtual void OnWorkerEnd(int unit, int status) = 0;
};

class CWorkerPool {
  public:
    CWorkerPool();
    ~CWorkerPool();  // kills the workers still running
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // Starts the worker of unit; false, with error set, when it could not be started.
    bool Start(int unit, const std::string& program, const std::vector<std::string>& arguments,
               std::string& error);
    // Waits up to timeoutMs for output (with wakeOnStop, also for the station's stop
    // request), hands on the lines that arrived and the workers that ended.
    void Poll(int timeoutMs, bool wakeOnStop, IWorkerListener& listener);
    std::size_t Running() const;
    // Asks every worker to stop as Ctrl-C asks a single flash to.
    void InterruptAll();
    // Ends every worker at once.
    void KillAll();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace zelvar::cli
