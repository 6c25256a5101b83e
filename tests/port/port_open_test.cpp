#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "base/resource_ids.h"
#include "link/port_line.h"
#include "port_test_support.h"

namespace zelvar::test {
namespace {

constexpr const char* kCanNotOpen = "Can not open serial port 1.";

std::vector<std::string> QuestionTexts(WindowFixture& fixture) {
    std::vector<std::string> texts;
    for (const auto& q : fixture.Window().Questions()) texts.push_back(q.text);
    return texts;
}

// 1 when the tty behind path is in exclusive mode, 0 when not, -1 when unknown.
int TtyExclusive(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == EBUSY ? 1 : -1;  // without root the open itself is refused
    int exclusive = -1;
    if (ioctl(fd, TIOCGEXCL, &exclusive) != 0) exclusive = -1;
    close(fd);
    return exclusive;
}

TEST(PortNames, GpsNamesResolveToDevicesAndPathsStayAsTheyAre) {
    char out[64];
    ASSERT_TRUE(ResolvePortName("GPS1:", out, sizeof out));
    EXPECT_STREQ(out, "/dev/gps1");
    ASSERT_TRUE(ResolvePortName("GPS2:", out, sizeof out));
    EXPECT_STREQ(out, "/dev/gps2");
    ASSERT_TRUE(ResolvePortName("/dev/ttyUSB0", out, sizeof out));
    EXPECT_STREQ(out, "/dev/ttyUSB0");
    ASSERT_TRUE(ResolvePortName("gps1:", out, sizeof out));
    EXPECT_STREQ(out, "gps1:");

    EXPECT_FALSE(ResolvePortName("", out, sizeof out));
    EXPECT_FALSE(ResolvePortName(nullptr, out, sizeof out));
    char tiny[9];
    EXPECT_FALSE(ResolvePortName("GPS1:", tiny, sizeof tiny));  // "/dev/gps1" needs 10
    char exact[10];
    EXPECT_TRUE(ResolvePortName("GPS1:", exact, sizeof exact));
}

TEST(PortOpen, AcceptedSpeedOpensRaw8N1AtThatSpeed) {
    WindowFixture fixture;
    PtyPair pty;
    ScopedPort port(pty.SlavePath(), 38400);
    ASSERT_NE(port, kInvalidPort);
    EXPECT_TRUE(fixture.Window().Questions().empty());
    EXPECT_STREQ(LastPortOpenError(), "");
    EXPECT_FALSE(IsPortLost(port));
    EXPECT_EQ(pty.SlaveSpeed(), 38400);
    // A pty has no low-latency setting: the open asked for it, was refused, and went on.
    EXPECT_FALSE(RequestLowLatency(port));

    termios tio{};
    ASSERT_EQ(tcgetattr(port, &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_NE(tio.c_cflag & CREAD, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    // Binary transparency: CR, LF, XON, XOFF and zero pass untouched both ways.
    const std::vector<uint8_t> awkward = {'\r', '\n', 0x11, 0x13, 0x00, 0xFF, 0x03};
    pty.Send(awkward);
    uint8_t in[16] = {};
    ASSERT_EQ(ReadPortRaw(port, in, sizeof in, 1000), static_cast<int>(awkward.size()));
    EXPECT_EQ(std::vector<uint8_t>(in, in + awkward.size()), awkward);
    WritePortText(port, awkward.data(), static_cast<int>(awkward.size()));
    EXPECT_EQ(pty.Receive(awkward.size(), 1000), awkward);
}

TEST(PortOpen, EveryAcceptedSpeedOpens) {
    WindowFixture fixture;
    PtyPair pty;
    for (int speed : kPortSpeeds) {
        ScopedPort port(pty.SlavePath(), speed);
        ASSERT_NE(port, kInvalidPort) << speed;
        EXPECT_EQ(pty.SlaveSpeed(), speed);
    }
    EXPECT_TRUE(fixture.Window().Questions().empty());
}

TEST(PortOpen, RefusedSpeedLeavesTheDeviceUntouched) {
    WindowFixture fixture;
    PtyPair pty;
    pty.Send("queued");
    for (int speed : {2400, 0, -9600, 230400, 4801}) {
        EXPECT_EQ(OpenPort(pty.SlavePath().c_str(), speed), kInvalidPort) << speed;
    }
    const auto questions = fixture.Window().Questions();
    ASSERT_EQ(questions.size(), 5u);
    for (const auto& q : questions) {
        EXPECT_EQ(q.text, "Incorrect baud.");
        EXPECT_EQ(q.caption, "Error");
        EXPECT_EQ(q.buttons, AskButtons::Ok);
    }
    // Neither the speed changed nor the waiting input was purged.
    EXPECT_EQ(pty.SlaveSpeed(), 9600);
    int fd = open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    char buf[16] = {};
    usleep(20000);
    EXPECT_EQ(read(fd, buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "queued");
    close(fd);
}

TEST(PortOpen, MissingDeviceOrNonSerialFileCannotBeOpened) {
    WindowFixture fixture;
    EXPECT_EQ(OpenPort("/dev/zelvar-no-such-device", 4800), kInvalidPort);
    EXPECT_STREQ(LastPortOpenError(), "device not found");
    if (access("/dev/gps2", F_OK) != 0) {
        EXPECT_EQ(OpenPort("GPS2:", 4800), kInvalidPort);
        EXPECT_STREQ(LastPortOpenError(), "device not found");
    }
    const std::string plain = fixture.Dir().File("plain.bin");
    WriteFile(plain, "not a tty");
    EXPECT_EQ(OpenPort(plain.c_str(), 4800), kInvalidPort);
    EXPECT_STREQ(LastPortOpenError(), "not a serial device");
    EXPECT_EQ(OpenPort("", 4800), kInvalidPort);

    const auto questions = fixture.Window().Questions();
    ASSERT_GE(questions.size(), 3u);
    for (const auto& q : questions) {
        EXPECT_EQ(q.text, kCanNotOpen);
        EXPECT_EQ(q.caption, "Error");
    }
    // The plain file is not left open or locked: it can be removed and rewritten.
    WriteFile(plain, "x");
    EXPECT_EQ(ReadFile(plain), "x");
}

TEST(PortOpen, AnOpenDeviceIsExclusiveEvenForRootUntilClosed) {
    WindowFixture fixture;
    PtyPair pty;
    PortHandle first = OpenPort(pty.SlavePath().c_str(), 4800);
    ASSERT_NE(first, kInvalidPort);

    // As root TIOCEXCL alone would let this open through: the lock must stop it.
    EXPECT_EQ(OpenPort(pty.SlavePath().c_str(), 57600), kInvalidPort);
    EXPECT_STREQ(LastPortOpenError(), "device busy (already open)");
    EXPECT_EQ(QuestionTexts(fixture), std::vector<std::string>{kCanNotOpen});
    // The failed attempt changed nothing on the open port.
    EXPECT_EQ(pty.SlaveSpeed(), 4800);
    EXPECT_FALSE(IsPortLost(first));
    EXPECT_EQ(TtyExclusive(pty.SlavePath()), 1);

    ClosePort(first);
    EXPECT_EQ(first, kInvalidPort);
    // Closing gives the tty back to everyone, not only to root.
    EXPECT_EQ(TtyExclusive(pty.SlavePath()), 0);
    PortHandle again = OpenPort(pty.SlavePath().c_str(), 57600);
    EXPECT_NE(again, kInvalidPort);
    ClosePort(again);
    EXPECT_EQ(QuestionTexts(fixture).size(), 1u);
}

TEST(PortClose, InvalidHandleIsLeftAloneAndOperationsOnItReturnAtOnce) {
    WindowFixture fixture;
    PortHandle handle = kInvalidPort;
    ClosePort(handle);
    EXPECT_EQ(handle, kInvalidPort);

    Stopwatch watch;
    uint8_t buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t byte = 0x55;
    EXPECT_EQ(ReadPortBytes(handle, buffer, 4), 0);
    EXPECT_EQ(ReadPortByte(handle, byte, 'x'), 0);
    EXPECT_EQ(WritePortByte(handle, 'x').outcome, PortOutcome::Lost);
    EXPECT_EQ(WritePortText(handle, "abc", 0).outcome, PortOutcome::Lost);
    EXPECT_EQ(ReadPortRaw(handle, buffer, 4, 500), -1);
    EXPECT_EQ(SetPortSpeed(handle, 9600).outcome, PortOutcome::Lost);
    EXPECT_EQ(ReportCommErrors(handle), 0u);
    EXPECT_TRUE(IsPortLost(handle));
    EXPECT_LT(watch.Ms(), 200);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(byte, 0x55);
    EXPECT_TRUE(fixture.Window().GetText(IDC_STATUS).empty());
}

}  // namespace
}  // namespace zelvar::test
