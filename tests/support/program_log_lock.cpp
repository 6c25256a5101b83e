#include "program_log_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace zelvar::test {

namespace {

constexpr std::size_t kExePathBytes = 4096;

std::string ProgramDirectory() {
    char exe[kExePathBytes] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    const std::string path(exe, n > 0 ? static_cast<std::size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

ProgramLogLock::ProgramLogLock() {
    const std::string path = ProgramDirectory() + ".program-log.lock";
    m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) return;
    while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

ProgramLogLock::~ProgramLogLock() {
    if (m_fd >= 0) close(m_fd);
}

}  // namespace zelvar::test
