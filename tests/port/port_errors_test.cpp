#include <gtest/gtest.h>

#include <cerrno>

#include "base/resource_ids.h"
#include "port_test_support.h"
#include "support/refused_line_speed.h"

namespace zelvar::test {
namespace {

using PortSpeed = PortOnPty;
using PortPurge = PortOnPty;

TEST(PortLineErrors, MaskIsReportedAsOneLinePerNamedBitInTableOrder) {
    WindowFixture fixture;
    ReportCommErrorMask(0x0A);
    EXPECT_EQ(LogLinesAfterHeader(fixture),
              (std::vector<std::string>{"Comm error: 0x0000000A:", "CE_FRAME", "CE_OVERRUN"}));
    EXPECT_EQ(fixture.Window().GetText(IDC_STATUS), "CE_OVERRUN");
    EXPECT_TRUE(fixture.Window().ListItems(IDC_MESSAGE_LIST).empty());
}

TEST(PortLineErrors, EveryNamedBitAndUnnamedBitsKeepTheirPlace) {
    WindowFixture fixture;
    ReportCommErrorMask(0x8000011F);
    EXPECT_EQ(LogLinesAfterHeader(fixture),
              (std::vector<std::string>{"Comm error: 0x8000011F:", "CE_BREAK", "CE_FRAME",
                                        "CE_OVERRUN", "CE_RXOVER", "CE_RXPARITY", "CE_TXFULL"}));
}

TEST(PortLineErrors, ZeroMaskAndPtyWithoutCountersReportNothing) {
    WindowFixture fixture;
    ReportCommErrorMask(0);
    PtyPair pty;
    ScopedPort port(pty.SlavePath(), 4800);
    ASSERT_NE(port, kInvalidPort);
    EXPECT_EQ(ReportCommErrors(port), 0u);
    EXPECT_FALSE(IsPortLost(port));
    EXPECT_TRUE(LogLinesAfterHeader(fixture).empty());
    EXPECT_TRUE(fixture.Window().GetText(IDC_STATUS).empty());
}

TEST_F(PortSpeed, ChangeSetsTheLineSpeedAndDiscardsWhatCameBefore) {
    ASSERT_TRUE(Open(4800));

    pty.Send("stale bytes");
    uint8_t peek = 0;
    // Wait until the bytes have reached the port, then change speed.
    ASSERT_EQ(ReadPortRaw(port, &peek, 1, 1000), 1);
    EXPECT_TRUE(SetPortSpeed(port, 115200).Ok());
    EXPECT_EQ(pty.SlaveSpeed(), 115200);
    uint8_t buffer[32];
    EXPECT_EQ(ReadPortRaw(port, buffer, sizeof buffer, 100), 0);

    pty.Send("fresh");
    ASSERT_EQ(ReadPortRaw(port, buffer, 5, 1000) >= 1, true);
    EXPECT_EQ(buffer[0], 'f');

    // Bytes written just before a change still reach the peer.
    WritePortText(port, "last words", 0);
    EXPECT_TRUE(SetPortSpeed(port, 9600).Ok());
    const std::vector<uint8_t> out = pty.Drain();
    EXPECT_EQ(std::string(out.begin(), out.end()), "last words");
    EXPECT_EQ(pty.SlaveSpeed(), 9600);
}

TEST_F(PortSpeed, SpeedTheDriverCannotTakeIsRefusedQuietlyAndKeepsTheOldOne) {
    ASSERT_TRUE(Open(19200));
    const PortResult result = SetPortSpeed(port, 12345);
    EXPECT_EQ(result.outcome, PortOutcome::Refused);
    EXPECT_EQ(result.error, EINVAL);
    EXPECT_EQ(pty.SlaveSpeed(), 19200);
    EXPECT_FALSE(IsPortLost(port));
    EXPECT_TRUE(fixture.Window().Questions().empty());
    EXPECT_TRUE(fixture.Window().GetText(IDC_STATUS).empty());
    // A speed the open refuses may still be set on an open port.
    EXPECT_TRUE(SetPortSpeed(port, 2400).Ok());
    EXPECT_EQ(pty.SlaveSpeed(), 2400);
}

TEST_F(PortSpeed, ChangeForAStepShowsARefusalNamingTheSpeedAndThePortGoesOn) {
    ASSERT_TRUE(Open(4800));
    EXPECT_TRUE(ChangeLineSpeed(port, 57600).Ok());
    EXPECT_TRUE(LogLinesAfterHeader(fixture).empty());
    {
        RefusedLineSpeed refused(115200);
        const PortResult result = ChangeLineSpeed(port, 115200);
        EXPECT_EQ(result.outcome, PortOutcome::Refused);
        EXPECT_EQ(result.error, EINVAL);
    }
    const std::string text = "Line speed 115200 refused by the serial port.";
    EXPECT_EQ(fixture.Window().GetText(IDC_STATUS), text);
    EXPECT_EQ(LogLinesAfterHeader(fixture), std::vector<std::string>{text});
    EXPECT_EQ(pty.SlaveSpeed(), 57600);
    EXPECT_FALSE(IsPortLost(port));
    // The seam is gone with its scope: the same speed is taken now.
    EXPECT_TRUE(ChangeLineSpeed(port, 115200).Ok());
    EXPECT_EQ(pty.SlaveSpeed(), 115200);
    EXPECT_EQ(LogLinesAfterHeader(fixture).size(), 1u);
}

TEST_F(PortSpeed, ARefusedSpeedAlsoFailsTheOpenAtThatSpeed) {
    RefusedLineSpeed refused(9600);
    EXPECT_FALSE(Open(9600));
    EXPECT_EQ(port, kInvalidPort);
    EXPECT_STREQ(LastPortOpenError(), "the driver refused the line settings");
    EXPECT_EQ(fixture.Window().GetText(IDC_STATUS), "SetCommState return error");
    ASSERT_TRUE(Open(4800));
    EXPECT_EQ(SetPortSpeed(port, 9600).outcome, PortOutcome::Refused);
    EXPECT_EQ(pty.SlaveSpeed(), 4800);
}

TEST_F(PortSpeed, ALostOrClosedPortIsLostNotRefused) {
    PortHandle closed = kInvalidPort;
    EXPECT_EQ(ChangeLineSpeed(closed, 9600).outcome, PortOutcome::Lost);
    ASSERT_TRUE(Open(4800));
    pty.CloseMaster();
    uint8_t byte = 0;
    ASSERT_EQ(ReadPortRaw(port, &byte, 1, 5000), -1);
    const PortResult result = ChangeLineSpeed(port, 9600);
    EXPECT_EQ(result.outcome, PortOutcome::Lost);
    const auto lines = LogLinesAfterHeader(fixture);
    ASSERT_EQ(lines.size(), 1u);  // the loss, and no refusal after it
    EXPECT_EQ(lines[0].rfind("Serial device lost", 0), 0u);
}

TEST_F(PortPurge, ClearingTheInputDropsWaitingBytes) {
    ASSERT_TRUE(Open(57600));
    pty.Send("junk");
    uint8_t buffer[8];
    ASSERT_EQ(ReadPortRaw(port, buffer, 1, 1000), 1);
    PurgePort(port, PURGE_RXABORT);  // aborting alone keeps the queue
    ASSERT_EQ(ReadPortRaw(port, buffer, 1, 1000), 1);
    EXPECT_EQ(buffer[0], 'u');
    PurgePort(port, PURGE_RXCLEAR);
    EXPECT_EQ(ReadPortRaw(port, buffer, sizeof buffer, 100), 0);
    DrainPort(port);
    EXPECT_FALSE(IsPortLost(port));
}

}  // namespace
}  // namespace zelvar::test
