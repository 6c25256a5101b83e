// Collecting one reply line from the serial stream, with exact bytes sent by the peer.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "base/resource_ids.h"
#include "link_fixture.h"

namespace zelvar::test {
namespace {

using ReplyWaitTest = LinkTest;

// The silence that ends a call: every one of its reads waited in vain.
constexpr long long kSilenceMs = kReplyEmptyReads * kReplyReadWaitMs;
// A lower bound of a call's length from the monotonic clock: each read's deadline may
// round down by a millisecond, so one read's length is allowed for.
constexpr long long kShortestSilenceMs = kSilenceMs - kReplyReadWaitMs;
// A call still running after this has not ended by any of its limits: it hangs.
constexpr long long kHangGuardMs = 5 * kReplyCallLimitMs;

std::string Reply(const char* line) {
    return line == nullptr ? "<none>" : std::string(line);
}

TEST_F(ReplyWaitTest, SkipsOtherTrafficBeforeThePrefix) {
    m_pty.Send("$GPGGA,1,2*00\r\nxx$PQRXQ,PRT\r\n$PQRXR,PRT,OK*11\r\n");
    const char* line = WaitForReply(m_handle, "$PQRXR", false);
    EXPECT_EQ(Reply(line), "$PQRXR,PRT,OK*11\r\n");
    EXPECT_EQ(line, g_replyBuffer);
}

TEST_F(ReplyWaitTest, ReplyDirectlyAfterAStrayDollarIsMissed) {
    // The reply's own "$" breaks the partial match of the stray one and is dropped, so
    // the first reply is lost and the second one is taken.
    m_pty.Send("$$PQRXR,A\r\n$PQRXR,B\r\n");
    EXPECT_EQ(Reply(WaitForReply(m_handle, "$PQRXR", false)), "$PQRXR,B\r\n");
}

TEST_F(ReplyWaitTest, StrictWaitFailsAtOnceOnAnyOtherFirstByte) {
    m_pty.Send("$A:PFL\r\n");
    const char* line = "";
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "A:", true); });
    EXPECT_EQ(line, nullptr);
    EXPECT_LT(ms, kHangGuardMs);
    // It gave up at the first byte: the rest is still queued for the next collection.
    EXPECT_EQ(Reply(WaitForReply(m_handle, "A:", true)), "A:PFL\r\n");
}

TEST_F(ReplyWaitTest, StrictWaitFailsAtOnceOnAPartialMatch) {
    m_pty.Send("AB:\r\nA:PFL\r\n");
    EXPECT_EQ(WaitForReply(m_handle, "A:", true), nullptr);
    // The rest stays queued for the next collection.
    EXPECT_EQ(Reply(WaitForReply(m_handle, "A:", false)), "A:PFL\r\n");
}

TEST_F(ReplyWaitTest, StrictWaitTakesALineThatStartsAtOnce) {
    m_pty.Send("A:PFL 2.1\r\n");
    EXPECT_EQ(Reply(WaitForReply(m_handle, "A:", true)), "A:PFL 2.1\r\n");
}

TEST_F(ReplyWaitTest, OverlongLineIsDroppedAndMatchingStartsAgain) {
    m_pty.Send("$PQRXR," + std::string(1100, 'x') + "$PQRXR,OK\r\n");
    EXPECT_EQ(Reply(WaitForReply(m_handle, "$PQRXR", false)), "$PQRXR,OK\r\n");
}

TEST_F(ReplyWaitTest, LineOf1023BytesFitsButOneOf1024DoesNot) {
    std::string fits = "$PQRXR," + std::string(1023 - 9, 'a') + "\r\n";
    ASSERT_EQ(fits.size(), 1023u);
    m_pty.Send(fits);
    const char* line = WaitForReply(m_handle, "$PQRXR", false);
    EXPECT_EQ(Reply(line), fits);

    std::string tooLong = "$PQRXR," + std::string(1024 - 9, 'b') + "\r\n";
    ASSERT_EQ(tooLong.size(), 1024u);
    m_pty.Send(tooLong + "$PQRXR,NEXT\r\n");
    EXPECT_EQ(Reply(WaitForReply(m_handle, "$PQRXR", false)), "$PQRXR,NEXT\r\n");
}

TEST_F(ReplyWaitTest, CarriageReturnEndsTheLineAtWhateverByteFollows) {
    m_pty.Send("$PQRXR,A\rZ$PQRXR,B\n");
    EXPECT_EQ(Reply(WaitForReply(m_handle, "$PQRXR", false)), "$PQRXR,A\rZ");
    // A bare line feed ends a line too.
    EXPECT_EQ(Reply(WaitForReply(m_handle, "$PQRXR", false)), "$PQRXR,B\n");
}

TEST_F(ReplyWaitTest, ReturnedLineIsFollowedByAZeroByte) {
    // A longer line is collected first, then a shorter one: no rest of the first remains.
    m_pty.Send("$PQRXR,LONGER,LINE\r\n");
    ASSERT_NE(WaitForReply(m_handle, "$PQRXR", false), nullptr);
    m_pty.Send("R1\r\n");
    EXPECT_EQ(Reply(WaitForReply(m_handle, "R", true)), "R1\r\n");
    EXPECT_EQ(g_replyBuffer[4], 0);
    EXPECT_EQ(std::strlen(g_replyBuffer), 4u);
}

TEST_F(ReplyWaitTest, SilenceEndsTheCallAfterItsEmptyReads) {
    const char* line = "";
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "$PQRXR", false); });
    EXPECT_EQ(line, nullptr);
    EXPECT_GE(ms, kShortestSilenceMs);
    EXPECT_LT(ms, kHangGuardMs);
}

TEST_F(ReplyWaitTest, UnrelatedTrafficThatNeverFallsSilentCannotHoldTheCall) {
    // The noise goes on until the call ends, or until the hang guard: a call that only
    // silence could end then ends after it, which the bound below catches.
    std::atomic<bool> stop{false};
    std::thread noise([&] {
        const auto guard =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangGuardMs);
        while (!stop && std::chrono::steady_clock::now() < guard) {
            m_pty.Send("x");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const char* line = "";
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "$PQRXR", false); });
    stop = true;
    noise.join();
    EXPECT_EQ(line, nullptr);
    EXPECT_LT(ms, kHangGuardMs);
    // Not ended by the first stray byte. The call limit ends it; on a machine so busy
    // that the noise comes in gaps, the reads those gaps left empty may end it sooner,
    // but never before a whole silence's worth of them.
    EXPECT_GE(ms, std::min<long long>(kReplyCallLimitMs, kShortestSilenceMs));
}

TEST_F(ReplyWaitTest, ReplyIsTakenTheMomentItIsComplete) {
    // The reply comes while the call waits, with the next line right behind it.
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        m_pty.Send("$PQRXR,PRT\r\n$PQRXR,NEXT\r\n");
    });
    const char* line = nullptr;
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "$PQRXR", false); });
    peer.join();
    EXPECT_EQ(Reply(line), "$PQRXR,PRT\r\n");
    EXPECT_LT(ms, kHangGuardMs);
    // Nothing after the line's end was read: the call did not wait for a silence.
    EXPECT_EQ(Reply(WaitForReply(m_handle, "$PQRXR", true)), "$PQRXR,NEXT\r\n");
}

TEST_F(ReplyWaitTest, VanishedDeviceEndsTheCall) {
    m_pty.CloseSlaveKeeper();
    m_pty.CloseMaster();
    const char* line = "";
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "$PQRXR", false); });
    EXPECT_EQ(line, nullptr);
    EXPECT_TRUE(IsPortLost(m_handle));
    EXPECT_LT(ms, kHangGuardMs);
    // A later call on the lost port ends as well.
    EXPECT_EQ(WaitForReply(m_handle, "$PQRXR", false), nullptr);
    EXPECT_EQ(m_window.Window().GetText(IDC_STATUS).rfind("Serial device lost", 0), 0u);
}

}  // namespace
}  // namespace zelvar::test
