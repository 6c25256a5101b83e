#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/port_line.h"

namespace zelvar {

namespace {

const char* OpenErrorText(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return kReasonNotFound;
        case EBUSY:
        case EWOULDBLOCK:
            return kReasonBusy;
        case EACCES:
        case EPERM:
        case EROFS:
            return kReasonDenied;
        case ENOTTY:
        case EISDIR:
            return kReasonNotSerial;
        case EMFILE:
        case ENFILE:
            return kReasonTooMany;
        case ENAMETOOLONG:
            return "device name too long";
        case EIO:
            return "input/output error on the device";
        default:
            return "the device could not be opened";
    }
}

// Gives up the device: lets others open it again (TIOCEXCL stays with the tty, not
// with the descriptor) and closes the descriptor, which also drops the lock.
void CloseDevice(int fd) {
    (void)ioctl(fd, TIOCNXCL);
    close(fd);
}

// Opens path for this process alone: TIOCEXCL keeps other users out, but not root,
// so an advisory lock on the device makes a second OpenPort fail for everyone.
int OpenExclusive(const char* path, const char*& reason) {
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = OpenErrorText(errno);
        return -1;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        reason = errno == ENOTTY || errno == EINVAL ? kReasonNotSerial : OpenErrorText(errno);
        close(fd);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        reason = errno == EWOULDBLOCK ? kReasonBusy : OpenErrorText(errno);
        close(fd);
        return -1;
    }
    if (fd >= kMaxPortHandles) {
        reason = kReasonTooMany;
        close(fd);
        return -1;
    }
    (void)ioctl(fd, TIOCEXCL);
    return fd;
}

}  // namespace

bool ResolvePortName(const char* name, char* out, int size) {
    if (name == nullptr || out == nullptr || size <= 0 || name[0] == '\0') return false;
    const char* path = name;
    if (std::strcmp(name, "GPS1:") == 0) path = "/dev/gps1";
    if (std::strcmp(name, "GPS2:") == 0) path = "/dev/gps2";
    const std::size_t length = std::strlen(path);
    if (length >= static_cast<std::size_t>(size)) return false;
    std::memcpy(out, path, length + 1);
    return true;
}

PortHandle OpenPortDevice(const char* path, int speed, const char*& reason) {
    const int fd = OpenExclusive(path, reason);
    if (fd < 0) return kInvalidPort;
    if (!ApplyLineSettings(fd, speed)) {
        reason = kReasonSettings;
        CloseDevice(fd);
        return kInvalidPort;
    }
    DropModemLines(fd);
    (void)RequestLowLatency(fd);
    (void)tcflush(fd, TCIOFLUSH);
    LineErrorCounts counts;
    (void)ReadLineErrorCounts(fd, counts);
    ExchangeLineErrorCounts(fd, counts);
    return fd;
}

void ClosePortDevice(PortHandle handle) {
    // A lost or stalled device would hold close() until its output drained.
    if (IsPortSlot(handle) && IsPortLost(handle)) (void)tcflush(handle, TCOFLUSH);
    // Released before the descriptor is, so that no open of the same number is undone.
    ReleasePortSlot(handle);
    CloseDevice(handle);
}

}  // namespace zelvar
