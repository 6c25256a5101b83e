#include <gtest/gtest.h>

#include <thread>

#include "port_test_support.h"

namespace zelvar::test {
namespace {

using PortWriteText = PortOnPty;
using PortWriteByte = PortOnPty;

TEST_F(PortWriteText, ZeroLengthSendsUpToTheTerminatingZero) {
    ASSERT_TRUE(Open(4800));
    const char text[] = "$PQRXQ,PRT\r\n\0tail";
    EXPECT_EQ(WritePortText(port, text, 0), 1);
    const std::vector<uint8_t> sent = pty.Drain();
    EXPECT_EQ(std::string(sent.begin(), sent.end()), "$PQRXQ,PRT\r\n");
}

TEST_F(PortWriteText, ExplicitLengthSendsExactlyThoseBytesZerosIncluded) {
    ASSERT_TRUE(Open(4800));
    const uint8_t frame[] = {0x00, 0x01, 0x00, 0x00, 0xA5, 0x00, 0xFF, 0x99};
    EXPECT_EQ(WritePortText(port, frame, 7), 1);
    EXPECT_EQ(pty.Drain(), std::vector<uint8_t>(frame, frame + 7));
}

TEST_F(PortWriteText, EmptyTextReturnsAtOnceAndSendsNothing) {
    ASSERT_TRUE(Open(4800));
    Stopwatch watch;
    EXPECT_EQ(WritePortText(port, "", 0), 1);
    EXPECT_EQ(WritePortText(port, "abc", -3), 1);
    EXPECT_EQ(WritePortText(port, nullptr, 5), 1);
    EXPECT_LT(watch.Ms(), 200);
    EXPECT_TRUE(pty.Drain(50).empty());
    EXPECT_FALSE(IsPortLost(port));
}

TEST_F(PortWriteText, LargeBlockGoesOutWholeWhileThePeerReadsSlowly) {
    ASSERT_TRUE(Open(115200));
    std::vector<uint8_t> block(200000);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + i / 251);
    std::vector<uint8_t> received;
    std::thread peer([&] { received = pty.Receive(block.size(), 20000); });
    EXPECT_EQ(WritePortText(port, block.data(), static_cast<int>(block.size())), 1);
    peer.join();
    EXPECT_EQ(received, block);
    EXPECT_FALSE(IsPortLost(port));
}

TEST_F(PortWriteByte, SendsOneByteAndCountsIt) {
    ASSERT_TRUE(Open(9600));
    EXPECT_EQ(WritePortByte(port, 0x00), 1);
    EXPECT_EQ(WritePortByte(port, 0xC3), 1);
    EXPECT_EQ(pty.Drain(), (std::vector<uint8_t>{0x00, 0xC3}));
}

}  // namespace
}  // namespace zelvar::test
