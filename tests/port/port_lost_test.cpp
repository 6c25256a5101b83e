#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "base/resource_ids.h"
#include "port_test_support.h"

namespace zelvar::test {
namespace {

using PortLost = PortOnPty;

constexpr const char* kLostHead = "Serial device lost";

int LostReports(const WindowFixture& fixture) {
    return CountLinesStartingWith(LogLinesAfterHeader(fixture), kLostHead);
}

// Every operation on a lost port returns at once with its ordinary result.
void ExpectEverythingReturnsAtOnce(PortHandle port) {
    Stopwatch watch;
    uint8_t buffer[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    uint8_t byte = 7;
    EXPECT_EQ(ReadPortByte(port, byte, 'p'), 0);
    EXPECT_EQ(ReadPortBytes(port, buffer, 4), 0);
    EXPECT_EQ(ReadPortRaw(port, buffer, 4, 5000), -1);
    EXPECT_EQ(WritePortByte(port, 'x').outcome, PortOutcome::Lost);
    EXPECT_EQ(WritePortText(port, "hello", 0).outcome, PortOutcome::Lost);
    EXPECT_EQ(SetPortSpeed(port, 9600).outcome, PortOutcome::Lost);
    EXPECT_EQ(ReportCommErrors(port), 0u);
    PurgePort(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
    DrainPort(port);
    EXPECT_LT(watch.Ms(), 300);
    EXPECT_EQ(byte, 7);
    EXPECT_EQ(buffer[0], 7);
}

TEST_F(PortLost, ClosingThePeerEndsABlockedReadAndIsReportedOnce) {
    ASSERT_TRUE(Open(57600));
    PortHandle handle = port;
    auto blocked = std::async(std::launch::async, [handle] {
        Stopwatch watch;
        uint8_t buffer[16];
        const int got = ReadPortRaw(handle, buffer, sizeof buffer, 20000);
        return std::make_pair(got, watch.Ms());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pty.CloseMaster();
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const auto [got, ms] = blocked.get();
    EXPECT_EQ(got, -1);
    EXPECT_LT(ms, 5000);
    EXPECT_TRUE(IsPortLost(port));
    EXPECT_EQ(fixture.Window().GetText(IDC_STATUS).rfind(kLostHead, 0), 0u);

    ExpectEverythingReturnsAtOnce(port);
    EXPECT_EQ(LostReports(fixture), 1);
    Stopwatch closing;
    ClosePort(port.Handle());
    EXPECT_EQ(port.Handle(), kInvalidPort);
    EXPECT_LT(closing.Ms(), 1000);
}

TEST_F(PortLost, ClosingThePeerDuringReadPortByteEndsItWithoutFurtherPrompts) {
    ASSERT_TRUE(Open(57600));
    PortHandle handle = port;
    auto blocked = std::async(std::launch::async, [handle] {
        uint8_t out = 0;
        return ReadPortByte(handle, out, '?');
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    pty.CloseMaster();
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(blocked.get(), 0);
    EXPECT_TRUE(IsPortLost(port));
    EXPECT_EQ(LostReports(fixture), 1);
}

TEST_F(PortLost, ClosingThePeerEndsAWriteIntoAFullQueue) {
    ASSERT_TRUE(Open(115200));
    PortHandle handle = port;
    // The peer reads nothing, so the pty's queue fills and the write blocks.
    auto blocked = std::async(std::launch::async, [handle] {
        std::vector<uint8_t> block(1 << 20, 0x5A);
        Stopwatch watch;
        const PortResult result =
            WritePortText(handle, block.data(), static_cast<int>(block.size()));
        return std::make_pair(result.outcome, watch.Ms());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(blocked.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    pty.CloseMaster();
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(4)), std::future_status::ready);
    const auto [result, ms] = blocked.get();
    EXPECT_EQ(result, PortOutcome::Lost);
    EXPECT_LT(ms, kWriteStallLostMs);  // ended by the hang-up, not by the stall limit
    EXPECT_TRUE(IsPortLost(port));
    EXPECT_EQ(fixture.Window().GetText(IDC_STATUS).rfind(kLostHead, 0), 0u);

    ExpectEverythingReturnsAtOnce(port);
    EXPECT_EQ(LostReports(fixture), 1);
}

TEST_F(PortLost, AWriteWithoutProgressCountsAsLost) {
    ASSERT_TRUE(Open(115200));
    std::vector<uint8_t> block(1 << 20, 0xA5);
    Stopwatch watch;
    const PortResult result = WritePortText(port, block.data(), static_cast<int>(block.size()));
    const long long ms = watch.Ms();
    EXPECT_EQ(result.outcome, PortOutcome::Lost);
    EXPECT_EQ(result.error, 0);
    EXPECT_GE(ms, kWriteStallLostMs - 100);
    EXPECT_LT(ms, kWriteStallLostMs + 5000);
    EXPECT_TRUE(IsPortLost(port));
    EXPECT_EQ(LostReports(fixture), 1);
    // A single byte into the same full queue returns at once now.
    Stopwatch single;
    EXPECT_EQ(WritePortByte(port, 1).outcome, PortOutcome::Lost);
    EXPECT_LT(single.Ms(), 300);
    EXPECT_EQ(LostReports(fixture), 1);
}

TEST_F(PortLost, ANewOpenStartsFreshAndReportsItsOwnLoss) {
    {
        PtyPair first;
        ScopedPort lost(first.SlavePath(), 4800);
        ASSERT_NE(lost, kInvalidPort);
        first.CloseMaster();
        uint8_t buffer[4];
        EXPECT_EQ(ReadPortRaw(lost, buffer, sizeof buffer, 5000), -1);
        EXPECT_TRUE(IsPortLost(lost));
    }
    ASSERT_TRUE(Open(4800));
    EXPECT_FALSE(IsPortLost(port));
    pty.Send("ok");
    uint8_t buffer[4] = {};
    EXPECT_GE(ReadPortRaw(port, buffer, 2, 1000), 1);
    EXPECT_EQ(buffer[0], 'o');
    pty.CloseMaster();
    EXPECT_EQ(ReadPortRaw(port, buffer, sizeof buffer, 5000), -1);
    EXPECT_EQ(LostReports(fixture), 2);
}

}  // namespace
}  // namespace zelvar::test
