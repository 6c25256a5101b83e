// The running workers and one poll() loop over all their pipes: each round reads at most
// one buffer from each ready pipe, so a worker that writes a lot, stalls or vanishes
// never holds up the others.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "cli/station/line_splitter.h"

namespace zelvar::cli {

class IWorkerListener {
  public:
    virtual ~IWorkerListener() = default;
    virtual void OnWorkerLine(int unit, bool fromStderr, const std::string& line) = 0;
    // The worker's pipes are closed and it has ended with waitStatus (waitpid).
    virtual void OnWorkerEnd(int unit, int waitStatus) = 0;
};

class CWorkerPool {
  public:
    CWorkerPool() = default;
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // Starts the worker of unit; false, with error set, when it could not be started.
    bool Start(int unit, const std::string& program, const std::vector<std::string>& arguments,
               std::string& error);
    // Waits up to timeoutMs for output (or for wakeFd, when not -1, to become readable),
    // hands on the lines that arrived and the workers that ended.
    void Poll(int timeoutMs, int wakeFd, IWorkerListener& listener);
    std::size_t Running() const { return m_workers.size(); }
    void SignalAll(int signal);

  private:
    struct Worker {
        int unit = -1;
        pid_t pid = -1;
        int fds[2] = {-1, -1};  // standard output, standard error; -1 once closed
        CLineSplitter lines[2];
    };
    void Read(Worker& worker, int stream, IWorkerListener& listener);
    void Reap(IWorkerListener& listener);

    std::vector<Worker> m_workers;
};

}  // namespace zelvar::cli
