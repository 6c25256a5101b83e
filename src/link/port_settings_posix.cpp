#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "link/port_line.h"

namespace zelvar {

namespace {

struct SpeedCode {
    int bitsPerSecond;
    speed_t code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},   {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600}, {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedCodeOf(int speed, speed_t& code) {
    for (const SpeedCode& entry : kSpeedCodes) {
        if (entry.bitsPerSecond == speed) {
            code = entry.code;
            return true;
        }
    }
    return false;
}

void MakeRaw8N1(termios& tio) {
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK | IGNPAR);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

bool SetSpeed(termios& tio, int speed) {
    speed_t code;
    if (IsSpeedRefusedForTests(speed) || !SpeedCodeOf(speed, code)) {
        errno = EINVAL;
        return false;
    }
    return cfsetispeed(&tio, code) == 0 && cfsetospeed(&tio, code) == 0;
}

}  // namespace

bool ApplyLineSettings(int fd, int speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    MakeRaw8N1(tio);
    if (!SetSpeed(tio, speed)) return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool ApplyLineSpeed(int fd, int speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    if (!SetSpeed(tio, speed)) return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool ApplyPortSpeed(PortHandle handle, int speed, int& error) {
    if (ApplyLineSpeed(handle, speed)) return true;
    error = errno;
    return false;
}

void DropModemLines(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &lines);  // a pty has no modem lines: nothing to drop
}

bool RequestLowLatency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;  // a pty, CDC-ACM, ...
    if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return true;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

}  // namespace zelvar
