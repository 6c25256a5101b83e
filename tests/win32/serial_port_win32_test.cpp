// The Windows serial port without a device: names, the errors of an open, and which
// system errors mean that an adapter has gone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/headless_window.h"
#include "base/main_window.h"
#include "link/port.h"
#include "link/port_win32.h"
#include "support/test_env.h"

namespace zelvar {
namespace {

std::string Resolved(const char* name) {
    char out[64];
    return ResolvePortName(name, out, sizeof out) ? out : "(refused)";
}

TEST(PortNamesWin32, DeviceNamesReachEveryComPort) {
    EXPECT_EQ(Resolved("GPS1:"), "\\\\.\\COM1");
    EXPECT_EQ(Resolved("GPS2:"), "\\\\.\\COM2");
    EXPECT_EQ(Resolved("COM5"), "\\\\.\\COM5");
    EXPECT_EQ(Resolved("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(Resolved("com3"), "\\\\.\\com3");
    EXPECT_EQ(Resolved("\\\\.\\COM4"), "\\\\.\\COM4");
    // Not a COM name: used as it is.
    EXPECT_EQ(Resolved("COM"), "COM");
    EXPECT_EQ(Resolved("COMX"), "COMX");
    EXPECT_EQ(Resolved("gps1:"), "gps1:");
    EXPECT_EQ(Resolved(""), "(refused)");
    char tiny[6];
    EXPECT_FALSE(ResolvePortName("COM12", tiny, sizeof tiny));
}

TEST(PortOpenWin32, AMissingPortSaysSoAndLeavesNothingOpen) {
    test::WindowFixture fixture(false);
    PortHandle handle = OpenPort("COM231", 4800);
    EXPECT_EQ(handle, kInvalidPort);
    EXPECT_STREQ(LastPortOpenError(), "device not found");
    EXPECT_TRUE(IsPortLost(handle));
    // A file is no serial port.
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFile(dir.File("plain.txt"), "x"));
    handle = OpenPort(dir.File("plain.txt").c_str(), 4800);
    EXPECT_EQ(handle, kInvalidPort);
    EXPECT_STREQ(LastPortOpenError(), "not a serial device");
    ClosePort(handle);  // nothing to close
}

TEST(PortErrorsWin32, AnUnpluggedAdaptersAnswersMeanTheDeviceIsGone) {
    for (DWORD gone :
         {ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_DEVICE_NOT_CONNECTED,
          ERROR_OPERATION_ABORTED, ERROR_GEN_FAILURE, ERROR_NOT_READY, ERROR_INVALID_HANDLE}) {
        EXPECT_TRUE(IsGoneError(gone)) << gone;
    }
    for (DWORD usable : {DWORD{ERROR_SUCCESS}, DWORD{ERROR_TIMEOUT}, DWORD{ERROR_INVALID_PARAMETER},
                         DWORD{ERROR_IO_PENDING}}) {
        EXPECT_FALSE(IsGoneError(usable)) << usable;
    }
    EXPECT_EQ(LossFromError(ERROR_DEVICE_NOT_CONNECTED), PortLoss::Removed);
    EXPECT_EQ(LossFromError(ERROR_INVALID_HANDLE), PortLoss::NotOpen);
}

}  // namespace
}  // namespace zelvar
