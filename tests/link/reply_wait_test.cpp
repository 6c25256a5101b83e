// Collecting one reply line from the serial stream, with exact bytes sent by the peer.
#include <cstring>
#include <string>
#include <thread>

#include "link_fixture.h"

namespace zelvar::test {
namespace {

using ReplyWaitTest = LinkTest;

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
    EXPECT_LT(ms, 500);
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

TEST_F(ReplyWaitTest, SilenceEndsTheCallAfterAboutOneSecond) {
    const char* line = "";
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "$PQRXR", false); });
    EXPECT_EQ(line, nullptr);
    EXPECT_GE(ms, 800);
    EXPECT_LT(ms, 3000);
}

TEST_F(ReplyWaitTest, UnrelatedTrafficThatNeverFallsSilentCannotHoldTheCall) {
    std::atomic<bool> stop{false};
    std::thread noise([&] {
        while (!stop) {
            m_pty.Send("x");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const char* line = "";
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "$PQRXR", false); });
    stop = true;
    noise.join();
    EXPECT_EQ(line, nullptr);
    EXPECT_GE(ms, 1500);
    EXPECT_LT(ms, 5000);
}

TEST_F(ReplyWaitTest, ReplyIsTakenTheMomentItIsComplete) {
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        m_pty.Send("$PQRXR,PRT\r\n");
    });
    const char* line = nullptr;
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "$PQRXR", false); });
    peer.join();
    EXPECT_EQ(Reply(line), "$PQRXR,PRT\r\n");
    EXPECT_LT(ms, 500);
}

TEST_F(ReplyWaitTest, VanishedDeviceEndsTheCallAtOnce) {
    m_pty.CloseSlaveKeeper();
    m_pty.CloseMaster();
    const char* line = "";
    long long ms = ElapsedMs([&] { line = WaitForReply(m_handle, "$PQRXR", false); });
    EXPECT_EQ(line, nullptr);
    EXPECT_TRUE(IsPortLost(m_handle));
    EXPECT_LT(ms, 600);
}

}  // namespace
}  // namespace zelvar::test
