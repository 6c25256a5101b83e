#include "fuzz_link_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace zelvar::fuzz {

namespace {

constexpr int kFeedPollMs = 2;
constexpr int kStallMs = 150;          // the loader read nothing this long: close the line
constexpr int kReturnLimitMs = 15000;  // after the close, a call must be back by then

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Bytes waiting in the slave's input queue.
int Queued(int slave) {
    int n = 0;
    return ioctl(slave, FIONREAD, &n) == 0 ? n : 0;
}

void Feed(int master, int slave, const uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    long long lastProgress = NowMs();
    int lastQueued = -1;
    while (NowMs() - lastProgress < kStallMs) {
        if (done < size) {
            const ssize_t n = write(master, data + done, size - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                lastProgress = NowMs();
            }
        }
        // Drain what the loader writes, so its writes never stall.
        uint8_t sink[512];
        while (read(master, sink, sizeof sink) > 0) {
        }
        const int queued = Queued(slave);
        if (queued != lastQueued) lastProgress = NowMs();
        lastQueued = queued;
        if (done == size && queued == 0) break;
        poll(nullptr, 0, kFeedPollMs);
    }
}

}  // namespace

void RunOverLine(const uint8_t* data, std::size_t size, int speed,
                 const std::function<void(PortHandle)>& call) {
    int master = -1;
    int slave = -1;
    char name[128];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    PortHandle handle = OpenPort(name, speed);
    if (handle == kInvalidPort) {
        close(master);
        close(slave);
        return;
    }
    std::atomic<long long> closedAt{0};
    std::thread feeder([&] {
        Feed(master, slave, data, size);
        close(master);
        closedAt = NowMs();
    });
    std::packaged_task<void()> task([&] { call(handle); });
    std::future<void> done = task.get_future();
    std::thread caller(std::move(task));
    feeder.join();
    if (done.wait_for(std::chrono::milliseconds(kReturnLimitMs)) != std::future_status::ready) {
        std::fprintf(stderr, "a call on the port still runs %d ms after its device went away\n",
                     kReturnLimitMs);
        std::abort();
    }
    caller.join();
    ClosePort(handle);
    close(slave);
}

}  // namespace zelvar::fuzz
