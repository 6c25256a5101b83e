#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "gui/common/instance_lock.h"

namespace zelvar {

CInstanceLock::CInstanceLock(std::string path) : m_path(std::move(path)) {}

CInstanceLock::~CInstanceLock() {
    if (m_fd >= 0) close(m_fd);
}

bool CInstanceLock::Acquire() {
    if (m_fd >= 0) return true;
    // No symbolic links: in /tmp another user could point one anywhere.
    int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return true;  // cannot check: run rather than refuse
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        close(fd);
        return error != EWOULDBLOCK;
    }
    m_fd = fd;
    return true;
}

std::string CInstanceLock::DefaultPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/zelvar-loader.lock";
    }
    return "/tmp/zelvar-loader-" + std::to_string(static_cast<unsigned>(getuid())) + ".lock";
}

}  // namespace zelvar
