#include "sim/sim_line.h"

#include <errno.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <climits>

namespace zelvar::sim {

namespace {

struct SpeedCode {
    uint32_t speed;
    speed_t code;
};

constexpr SpeedCode kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

}  // namespace

uint32_t SpeedFromTermios(unsigned long code) {
    for (const SpeedCode& s : kSpeeds) {
        if (s.code == code) {
            return s.speed;
        }
    }
    return 0;
}

unsigned long TermiosFromSpeed(uint32_t speed) {
    for (const SpeedCode& s : kSpeeds) {
        if (s.speed == speed) {
            return s.code;
        }
    }
    return B0;
}

CSimLine::~CSimLine() {
    Close();
}

bool CSimLine::Open(const std::string& linkPath, uint32_t speed, std::string& error) {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        error = "cannot create a pseudo-terminal";
        return false;
    }
    // Raw at once, so that nothing the loader writes is ever echoed back to it.
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    cfsetispeed(&tio, TermiosFromSpeed(speed));
    cfsetospeed(&tio, TermiosFromSpeed(speed));
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    char name[PATH_MAX] = {};
    if (ttyname_r(slave, name, sizeof name) != 0) {
        close(master);
        close(slave);
        error = "cannot name the pseudo-terminal";
        return false;
    }
    m_master = master;
    m_keeper = slave;
    m_slavePath = name;
    if (!linkPath.empty()) {
        struct stat st {};
        if (lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = linkPath + " exists and is not a link";
                Close();
                return false;
            }
            unlink(linkPath.c_str());
        }
        if (symlink(m_slavePath.c_str(), linkPath.c_str()) != 0) {
            error = "cannot create the link " + linkPath;
            Close();
            return false;
        }
        m_linkPath = linkPath;
    }
    return true;
}

void CSimLine::Close() {
    if (!m_linkPath.empty()) {
        char target[PATH_MAX] = {};
        ssize_t n = readlink(m_linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && m_slavePath == std::string(target, static_cast<size_t>(n))) {
            unlink(m_linkPath.c_str());
        }
        m_linkPath.clear();
    }
    if (m_master >= 0) {
        close(m_master);
        m_master = -1;
    }
    if (m_keeper >= 0) {
        close(m_keeper);
        m_keeper = -1;
    }
}

uint32_t CSimLine::LineSpeed() const {
    termios tio{};
    if (m_master < 0 || tcgetattr(m_master, &tio) != 0) {
        return 0;
    }
    return SpeedFromTermios(cfgetospeed(&tio));
}

long CSimLine::Read(uint8_t* buffer, size_t capacity) {
    if (m_master < 0) {
        return -1;
    }
    ssize_t n = read(m_master, buffer, capacity);
    if (n < 0) {
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    }
    return n;
}

bool CSimLine::Write(uint8_t byte) {
    if (m_master < 0) {
        return false;
    }
    for (;;) {
        ssize_t n = write(m_master, &byte, 1);
        if (n == 1) {
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

}  // namespace zelvar::sim
