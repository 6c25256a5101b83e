// Each worker's two pipes are read by a thread of their own, which hands what it read to
// the station's loop through one inbox: the loop waits on two handles (the inbox's event
// and the stop request) however many units run.
#include <windows.h>

#include <mutex>
#include <thread>

#include "cli/station/line_splitter.h"
#include "cli/station/stop_request.h"
#include "cli/station/worker_pool.h"
#include "cli/station/worker_spawn_win32.h"

namespace zelvar::cli {

namespace {

constexpr DWORD kReadChunkBytes = 4096;  // one read of a pipe
// A worker ended by the station counts with the status a killed worker has on Linux
// (128 + SIGKILL).
constexpr UINT kKilledWorkerExitCode = 137;
constexpr DWORD kKilledWorkerWaitMs = 5000;  // for a killed worker to be gone

struct Worker {
    int unit = -1;
    SpawnedWorker process;
    std::thread readers[2];  // standard output, standard error
    CLineSplitter lines[2];
    bool open[2] = {true, true};  // until its reader saw the pipe's end
};

// What a reader thread read: bytes, or the end of the pipe when end is set.
struct Chunk {
    Worker* worker = nullptr;
    int stream = 0;
    std::string bytes;
    bool end = false;
};

HANDLE NewJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) return nullptr;
    // The workers end with the station, however it ends: the system closes this handle.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

void CloseWorkerHandles(Worker& worker) {
    for (HANDLE handle : {worker.process.process, worker.process.stopEvent, worker.process.out,
                          worker.process.err}) {
        if (handle != nullptr) CloseHandle(handle);
    }
}

}  // namespace

struct CWorkerPool::Impl {
    HANDLE job = NewJob();
    HANDLE inboxReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::mutex inboxMutex;
    std::vector<Chunk> inbox;
    std::vector<std::unique_ptr<Worker>> workers;

    void Post(Chunk chunk) {
        {
            std::lock_guard<std::mutex> lock(inboxMutex);
            inbox.push_back(std::move(chunk));
        }
        SetEvent(inboxReady);
    }

    void ReadLoop(Worker* worker, int stream) {
        const HANDLE pipe = stream == 0 ? worker->process.out : worker->process.err;
        char buffer[kReadChunkBytes];
        DWORD n = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr)) {
            if (n > 0) Post({worker, stream, std::string(buffer, n), false});
        }
        Post({worker, stream, {}, true});  // the worker closed it, or ended
    }

    void Deliver(IWorkerListener& listener);
    void Reap(IWorkerListener& listener);
    void End(Worker& worker);
};

void CWorkerPool::Impl::Deliver(IWorkerListener& listener) {
    std::vector<Chunk> chunks;
    {
        std::lock_guard<std::mutex> lock(inboxMutex);
        chunks.swap(inbox);
    }
    for (Chunk& chunk : chunks) {
        Worker& worker = *chunk.worker;
        const int unit = worker.unit;
        const int stream = chunk.stream;
        const auto onLine = [&listener, unit, stream](const std::string& line) {
            listener.OnWorkerLine(unit, stream == 1, line);
        };
        if (chunk.end) {
            worker.lines[stream].Finish(onLine);
            worker.open[stream] = false;
        } else {
            worker.lines[stream].Feed(chunk.bytes.data(), chunk.bytes.size(), onLine);
        }
    }
}

// A worker whose pipes have both ended is looked at without waiting; one that has not
// exited yet is looked at again next round.
void CWorkerPool::Impl::Reap(IWorkerListener& listener) {
    for (std::size_t i = 0; i < workers.size();) {
        Worker& worker = *workers[i];
        if (worker.open[0] || worker.open[1] ||
            WaitForSingleObject(worker.process.process, 0) != WAIT_OBJECT_0) {
            ++i;
            continue;
        }
        DWORD code = 0;
        GetExitCodeProcess(worker.process.process, &code);
        const int unit = worker.unit;
        End(worker);
        workers.erase(workers.begin() + static_cast<std::ptrdiff_t>(i));
        listener.OnWorkerEnd(unit, static_cast<int>(code));
    }
}

// Its readers end with its pipes, which end with the process.
void CWorkerPool::Impl::End(Worker& worker) {
    for (std::thread& reader : worker.readers) {
        if (reader.joinable()) reader.join();
    }
    CloseWorkerHandles(worker);
}

CWorkerPool::CWorkerPool() : m_impl(std::make_unique<Impl>()) {}

CWorkerPool::~CWorkerPool() {
    if (m_impl->job != nullptr) TerminateJobObject(m_impl->job, kKilledWorkerExitCode);
    for (const std::unique_ptr<Worker>& worker : m_impl->workers) {
        WaitForSingleObject(worker->process.process, kKilledWorkerWaitMs);
        m_impl->End(*worker);
    }
    if (m_impl->job != nullptr) CloseHandle(m_impl->job);
    if (m_impl->inboxReady != nullptr) CloseHandle(m_impl->inboxReady);
}

bool CWorkerPool::Start(int unit, const std::string& program,
                        const std::vector<std::string>& arguments, std::string& error) {
    if (m_impl->job == nullptr || m_impl->inboxReady == nullptr) {
        error = "cannot start " + program + ": no job object for the workers";
        return false;
    }
    auto worker = std::make_unique<Worker>();
    worker->unit = unit;
    if (!SpawnWorker(program, arguments, m_impl->job, worker->process, error)) return false;
    Impl* impl = m_impl.get();
    Worker* started = worker.get();
    for (int stream = 0; stream < 2; ++stream) {
        worker->readers[stream] =
            std::thread([impl, started, stream] { impl->ReadLoop(started, stream); });
    }
    m_impl->workers.push_back(std::move(worker));
    return true;
}

void CWorkerPool::Poll(int timeoutMs, bool wakeOnStop, IWorkerListener& listener) {
    const HANDLE stop = reinterpret_cast<HANDLE>(StationStopWaitable());
    const HANDLE handles[2] = {m_impl->inboxReady, stop};
    const DWORD count = wakeOnStop && stop != nullptr ? 2 : 1;
    WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(timeoutMs));
    m_impl->Deliver(listener);
    m_impl->Reap(listener);
}

std::size_t CWorkerPool::Running() const {
    return m_impl->workers.size();
}

void CWorkerPool::InterruptAll() {
    for (const std::unique_ptr<Worker>& worker : m_impl->workers) {
        SetEvent(worker->process.stopEvent);
    }
}

// The whole job: a process a worker started goes too, and with it the last writer of
// the worker's pipes.
void CWorkerPool::KillAll() {
    TerminateJobObject(m_impl->job, kKilledWorkerExitCode);
}

}  // namespace zelvar::cli
