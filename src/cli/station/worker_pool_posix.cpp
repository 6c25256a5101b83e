#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "cli/station/line_splitter.h"
#include "cli/station/stop_request.h"
#include "cli/station/worker_pool.h"
#include "cli/station/worker_spawn_posix.h"

namespace zelvar::cli {

namespace {

constexpr std::size_t kReadChunkBytes = 4096;  // read from one pipe per round

struct Worker {
    int unit = -1;
    pid_t pid = -1;
    int fds[2] = {-1, -1};  // standard output, standard error; -1 once closed
    CLineSplitter lines[2];
};

}  // namespace

struct CWorkerPool::Impl {
    std::vector<Worker> workers;

    void Read(Worker& worker, int stream, IWorkerListener& listener);
    void Reap(IWorkerListener& listener);
    void SignalAll(int signal);
};

CWorkerPool::CWorkerPool() : m_impl(std::make_unique<Impl>()) {}

CWorkerPool::~CWorkerPool() {
    for (Worker& worker : m_impl->workers) {
        for (int fd : worker.fds) {
            if (fd >= 0) close(fd);
        }
        kill(worker.pid, SIGKILL);
        waitpid(worker.pid, nullptr, 0);
    }
}

bool CWorkerPool::Start(int unit, const std::string& program,
                        const std::vector<std::string>& arguments, std::string& error) {
    SpawnedWorker spawned;
    if (!SpawnWorker(program, arguments, spawned, error)) return false;
    Worker& worker = m_impl->workers.emplace_back();
    worker.unit = unit;
    worker.pid = spawned.pid;
    worker.fds[0] = spawned.out;
    worker.fds[1] = spawned.err;
    return true;
}

void CWorkerPool::Impl::Read(Worker& worker, int stream, IWorkerListener& listener) {
    char buffer[kReadChunkBytes];
    const ssize_t n = read(worker.fds[stream], buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    const int unit = worker.unit;
    const auto onLine = [&listener, unit, stream](const std::string& line) {
        listener.OnWorkerLine(unit, stream == 1, line);
    };
    if (n > 0) {
        worker.lines[stream].Feed(buffer, static_cast<std::size_t>(n), onLine);
        return;
    }
    worker.lines[stream].Finish(onLine);
    close(worker.fds[stream]);
    worker.fds[stream] = -1;
}

void CWorkerPool::Poll(int timeoutMs, bool wakeOnStop, IWorkerListener& listener) {
    std::vector<Worker>& workers = m_impl->workers;
    std::vector<pollfd> fds;
    for (const Worker& worker : workers) {
        for (int fd : worker.fds) fds.push_back({fd, POLLIN, 0});
    }
    fds.push_back({wakeOnStop ? static_cast<int>(StationStopWaitable()) : -1, POLLIN, 0});
    if (poll(fds.data(), fds.size(), timeoutMs) > 0) {
        // Workers started by a listener during this round come after the polled ones.
        const std::size_t polled = workers.size();
        for (std::size_t i = 0; i < polled; ++i) {
            for (int stream = 0; stream < 2; ++stream) {
                if (fds[2 * i + stream].revents != 0 && workers[i].fds[stream] >= 0) {
                    m_impl->Read(workers[i], stream, listener);
                }
            }
        }
    }
    m_impl->Reap(listener);
}

// A worker whose pipes have both closed is waited for without blocking; one that has
// not exited yet is looked at again next round.
void CWorkerPool::Impl::Reap(IWorkerListener& listener) {
    for (std::size_t i = 0; i < workers.size();) {
        Worker& worker = workers[i];
        int status = 0;
        if (worker.fds[0] >= 0 || worker.fds[1] >= 0 ||
            waitpid(worker.pid, &status, WNOHANG) != worker.pid) {
            ++i;
            continue;
        }
        const int unit = worker.unit;
        workers.erase(workers.begin() + static_cast<std::ptrdiff_t>(i));
        listener.OnWorkerEnd(unit, status);
    }
}

std::size_t CWorkerPool::Running() const {
    return m_impl->workers.size();
}

void CWorkerPool::Impl::SignalAll(int signal) {
    for (const Worker& worker : workers) kill(worker.pid, signal);
}

void CWorkerPool::InterruptAll() {
    m_impl->SignalAll(SIGINT);
}

void CWorkerPool::KillAll() {
    m_impl->SignalAll(SIGKILL);
}

}  // namespace zelvar::cli
