#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "port_test_support.h"

namespace zelvar::test {
namespace {

using PortReadBytes = PortOnPty;
using PortReadByte = PortOnPty;
using PortReadRaw = PortOnPty;

TEST_F(PortReadBytes, QueuedBytesComeBackZeroTerminated) {
    ASSERT_TRUE(Open(57600));

    pty.Send("ABCDEFGH");
    uint8_t buffer[16];
    std::memset(buffer, 0xEE, sizeof buffer);
    // Give the pty a moment to pass the bytes on: the read's own budget is 6 ms.
    uint8_t first = 0;
    ASSERT_EQ(ReadPortRaw(port, &first, 1, 1000), 1);
    EXPECT_EQ(first, 'A');
    EXPECT_EQ(ReadPortBytes(port, buffer, 5), 5);
    EXPECT_EQ(std::memcmp(buffer, "BCDEF", 5), 0);
    EXPECT_EQ(buffer[5], 0);
    EXPECT_EQ(buffer[6], 0xEE);

    // Fewer queued than asked: what there is, still zero-terminated.
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(ReadPortBytes(port, buffer, 10), 2);
    EXPECT_EQ(std::memcmp(buffer, "GH", 2), 0);
    EXPECT_EQ(buffer[2], 0);
}

TEST_F(PortReadBytes, SilentLineReturnsZeroSoonAndLeavesBufferAlone) {
    ASSERT_TRUE(Open(57600));
    uint8_t buffer[8];
    std::memset(buffer, 0xEE, sizeof buffer);
    Stopwatch watch;
    EXPECT_EQ(ReadPortBytes(port, buffer, 4), 0);
    EXPECT_LT(watch.Ms(), 500);
    for (uint8_t b : buffer) EXPECT_EQ(b, 0xEE);
    EXPECT_EQ(ReadPortBytes(port, buffer, 0), 0);
    EXPECT_EQ(ReadPortBytes(port, nullptr, 4), 0);
}

TEST_F(PortReadByte, SilentLineCostsAboutOneSecondAndPromptsTenTimes) {
    ASSERT_TRUE(Open(19200));
    uint8_t out = 0x55;
    Stopwatch watch;
    EXPECT_EQ(ReadPortByte(port, out, 'x'), 0);
    const long long ms = watch.Ms();
    EXPECT_GE(ms, kReadAttempts * kReadAttemptMs - 50);
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(out, 0x55);
    const std::vector<uint8_t> prompts = pty.Drain(100);
    EXPECT_EQ(prompts, std::vector<uint8_t>(kReadAttempts, 'x'));
}

TEST_F(PortReadByte, ZeroPromptIsNeverSent) {
    ASSERT_TRUE(Open(19200));
    uint8_t out = 0;
    Stopwatch watch;
    EXPECT_EQ(ReadPortByte(port, out, 0), 0);
    EXPECT_GE(watch.Ms(), kReadAttempts * kReadAttemptMs - 50);
    EXPECT_TRUE(pty.Drain(100).empty());
}

TEST_F(PortReadByte, AnswerIsTakenTheMomentItArrives) {
    ASSERT_TRUE(Open(115200));
    std::thread peer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        pty.Send("K");
    });
    uint8_t out = 0;
    Stopwatch watch;
    const int got = ReadPortByte(port, out, 0);
    const long long ms = watch.Ms();
    peer.join();
    EXPECT_EQ(got, 1);
    EXPECT_EQ(out, 'K');
    EXPECT_GT(ms, 20);
    EXPECT_LT(ms, 500);  // a polling read would take its full 100 ms attempt
}

TEST_F(PortReadByte, RepeatedLateAnswersDoNotWaitOutTheirAttempts) {
    ASSERT_TRUE(Open(115200));
    constexpr int kRounds = 10;
    // The peer answers each prompt after 30 ms. Waiting out whole 100 ms attempts
    // would cost at least kRounds * 100 ms; taking each answer as it comes, about a
    // third of that. The bound sits between the two with room for a noisy machine.
    std::thread peer([this] {
        for (int i = 0; i < kRounds; ++i) {
            if (pty.Receive(1, 3000).empty()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            pty.Send(std::vector<uint8_t>{static_cast<uint8_t>('a' + i)});
        }
    });
    Stopwatch watch;
    int answered = 0;
    for (int i = 0; i < kRounds; ++i) {
        uint8_t out = 0;
        if (ReadPortByte(port, out, '?') == 1 && out == 'a' + i) ++answered;
    }
    const long long ms = watch.Ms();
    peer.join();
    EXPECT_EQ(answered, kRounds);
    EXPECT_LT(ms, kRounds * kReadAttemptMs * 8 / 10);
}

TEST_F(PortReadByte, PromptIsAnsweredWithinTheSameAttempt) {
    ASSERT_TRUE(Open(115200));
    // The peer answers each prompt it receives, as a receiver in loader mode does.
    std::thread peer([this] {
        if (pty.Receive(1, 2000) == std::vector<uint8_t>{'?'}) pty.Send("!");
    });
    uint8_t out = 0;
    const int got = ReadPortByte(port, out, '?');
    peer.join();
    EXPECT_EQ(got, 1);
    EXPECT_EQ(out, '!');
    EXPECT_TRUE(pty.Drain(100).empty());  // one prompt was enough
}

TEST_F(PortReadRaw, WaitsForTheFirstByteAndTakesWhatIsThere) {
    ASSERT_TRUE(Open(57600));
    uint8_t buffer[8] = {};
    Stopwatch watch;
    EXPECT_EQ(ReadPortRaw(port, buffer, sizeof buffer, 150), 0);
    EXPECT_GE(watch.Ms(), 140);

    std::thread peer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        pty.Send("xyz");
    });
    Stopwatch answer;
    int got = ReadPortRaw(port, buffer, sizeof buffer, 2000);
    const long long ms = answer.Ms();
    peer.join();
    ASSERT_GE(got, 1);
    EXPECT_LT(ms, 1000);
    while (got < 3) {
        const int more =
            ReadPortRaw(port, buffer + got, static_cast<int>(sizeof buffer) - got, 500);
        ASSERT_GT(more, 0);
        got += more;
    }
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "xyz");
}

}  // namespace
}  // namespace zelvar::test
