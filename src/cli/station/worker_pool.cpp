#include "cli/station/worker_pool.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "cli/station/worker_spawn.h"

namespace zelvar::cli {

namespace {

constexpr std::size_t kReadChunkBytes = 4096;  // read from one pipe per round

}  // namespace

CWorkerPool::~CWorkerPool() {
    for (Worker& worker : m_workers) {
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
    Worker& worker = m_workers.emplace_back();
    worker.unit = unit;
    worker.pid = spawned.pid;
    worker.fds[0] = spawned.out;
    worker.fds[1] = spawned.err;
    return true;
}

void CWorkerPool::Read(Worker& worker, int stream, IWorkerListener& listener) {
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

void CWorkerPool::Poll(int timeoutMs, int wakeFd, IWorkerListener& listener) {
    std::vector<pollfd> fds;
    for (const Worker& worker : m_workers) {
        for (int fd : worker.fds) fds.push_back({fd, POLLIN, 0});
    }
    fds.push_back({wakeFd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), timeoutMs) > 0) {
        // Workers started by a listener during this round come after the polled ones.
        const std::size_t polled = m_workers.size();
        for (std::size_t i = 0; i < polled; ++i) {
            for (int stream = 0; stream < 2; ++stream) {
                if (fds[2 * i + stream].revents != 0 && m_workers[i].fds[stream] >= 0) {
                    Read(m_workers[i], stream, listener);
                }
            }
        }
    }
    Reap(listener);
}

// A worker whose pipes have both closed is waited for without blocking; one that has
// not exited yet is looked at again next round.
void CWorkerPool::Reap(IWorkerListener& listener) {
    for (std::size_t i = 0; i < m_workers.size();) {
        Worker& worker = m_workers[i];
        int status = 0;
        if (worker.fds[0] >= 0 || worker.fds[1] >= 0 ||
            waitpid(worker.pid, &status, WNOHANG) != worker.pid) {
            ++i;
            continue;
        }
        const int unit = worker.unit;
        m_workers.erase(m_workers.begin() + static_cast<std::ptrdiff_t>(i));
        listener.OnWorkerEnd(unit, status);
    }
}

void CWorkerPool::SignalAll(int signal) {
    for (const Worker& worker : m_workers) kill(worker.pid, signal);
}

}  // namespace zelvar::cli
