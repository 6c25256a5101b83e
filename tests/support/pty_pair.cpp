#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace zelvar::test {

namespace {

int SpeedOf(speed_t s) {
    switch (s) {
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 0;
    }
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

PtyPair::PtyPair() {
    char name[256] = {};
    int slave = -1;
    if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(slave, TCSANOW, &tio);
    m_slaveKeeper = slave;
    m_slavePath = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    CloseSlaveKeeper();
    CloseMaster();
}

void PtyPair::Send(const std::string& bytes) {
    Send(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void PtyPair::Send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    long long deadline = NowMs() + 5000;
    while (done < bytes.size() && m_master >= 0 && NowMs() < deadline) {
        ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else {
            pollfd p{m_master, POLLOUT, 0};
            poll(&p, 1, 10);
        }
    }
}

std::vector<uint8_t> PtyPair::Receive(size_t count, int timeoutMs) {
    std::vector<uint8_t> out;
    long long deadline = NowMs() + timeoutMs;
    while (out.size() < count && m_master >= 0) {
        long long left = deadline - NowMs();
        if (left <= 0) break;
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        uint8_t buf[4096];
        size_t want = std::min(sizeof buf, count - out.size());
        ssize_t n = read(m_master, buf, want);
        if (n > 0) {
            out.insert(out.end(), buf, buf + n);
        } else if (n < 0 && errno != EAGAIN) {
            break;  // slave side closed: EIO
        }
    }
    return out;
}

std::vector<uint8_t> PtyPair::Drain(int quietMs, int maxMs) {
    std::vector<uint8_t> out;
    long long end = NowMs() + maxMs;
    while (m_master >= 0 && NowMs() < end) {
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0) break;
        uint8_t buf[4096];
        ssize_t n = read(m_master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && errno == EAGAIN) continue;
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

int PtyPair::SlaveSpeed() const {
    termios tio{};
    if (m_master < 0 || tcgetattr(m_master, &tio) != 0) return 0;
    return SpeedOf(cfgetospeed(&tio));
}

void PtyPair::CloseMaster() {
    if (m_master >= 0) close(m_master);
    m_master = -1;
}

void PtyPair::CloseSlaveKeeper() {
    if (m_slaveKeeper >= 0) close(m_slaveKeeper);
    m_slaveKeeper = -1;
}

}  // namespace zelvar::test
