#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "base/resource_ids.h"
#include "port_test_support.h"

namespace zelvar::test {
namespace {

using PortWriteText = PortOnPty;

TEST_F(PortWriteText, ZeroLengthSendsUpToTheTerminatingZero) {
    ASSERT_TRUE(Open(4800));
    const char text[] = "$PQRXQ,PRT\r\n\0tail";
    EXPECT_TRUE(WritePortText(port, text, 0).Ok());
    const std::vector<uint8_t> sent = pty.Drain();
    EXPECT_EQ(std::string(sent.begin(), sent.end()), "$PQRXQ,PRT\r\n");
}

TEST_F(PortWriteText, ExplicitLengthSendsExactlyThoseBytesZerosIncluded) {
    ASSERT_TRUE(Open(4800));
    const uint8_t frame[] = {0x00, 0x01, 0x00, 0x00, 0xA5, 0x00, 0xFF, 0x99};
    EXPECT_TRUE(WritePortText(port, frame, 7).Ok());
    EXPECT_EQ(pty.Drain(), std::vector<uint8_t>(frame, frame + 7));
}

TEST_F(PortWriteText, EmptyOrMissingTextReturnsAtOnceAndSendsNothing) {
    ASSERT_TRUE(Open(4800));
    Stopwatch watch;
    EXPECT_TRUE(WritePortText(port, "", 0).Ok());
    for (const PortResult result :
         {WritePortText(port, "abc", -3), WritePortText(port, nullptr, 5)}) {
        EXPECT_EQ(result.outcome, PortOutcome::Refused);
        EXPECT_EQ(result.error, EINVAL);
    }
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
    EXPECT_TRUE(WritePortText(port, block.data(), static_cast<int>(block.size())).Ok());
    peer.join();
    EXPECT_EQ(received, block);
    EXPECT_FALSE(IsPortLost(port));
}

using PortWriteByte = PortOnPty;

TEST_F(PortWriteByte, SendsOneByteAndCountsIt) {
    ASSERT_TRUE(Open(9600));
    EXPECT_TRUE(WritePortByte(port, 0x00).Ok());
    EXPECT_TRUE(WritePortByte(port, 0xC3).Ok());
    EXPECT_EQ(pty.Drain(), (std::vector<uint8_t>{0x00, 0xC3}));
}

// A page the process may not read: the driver turns the write down with EFAULT, an
// error that says nothing about the device.
class UnreadablePage {
  public:
    UnreadablePage()
        : m_size(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))),
          m_page(mmap(nullptr, m_size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {}
    ~UnreadablePage() {
        if (m_page != MAP_FAILED) munmap(m_page, m_size);
    }
    UnreadablePage(const UnreadablePage&) = delete;
    UnreadablePage& operator=(const UnreadablePage&) = delete;
    bool Mapped() const { return m_page != MAP_FAILED; }
    const void* Bytes() const { return m_page; }

  private:
    std::size_t m_size;
    void* m_page;
};

using PortWriteRefused = PortOnPty;

TEST_F(PortWriteRefused, AnErrorOtherThanALossIsReportedAndLeavesThePortUsable) {
    ASSERT_TRUE(Open(9600));
    UnreadablePage page;
    ASSERT_TRUE(page.Mapped());
    Stopwatch watch;
    const PortResult result = WritePortText(port, page.Bytes(), 16);
    EXPECT_EQ(result.outcome, PortOutcome::Refused);
    EXPECT_EQ(result.error, EFAULT);
    EXPECT_LT(watch.Ms(), kWriteStallLostMs);  // not waited out as a stall
    EXPECT_FALSE(IsPortLost(port));
    // The dropped bytes are said once for the opened port, not as a loss.
    const std::string said = std::string("Serial write refused: ") + std::strerror(EFAULT);
    EXPECT_EQ(fixture.Window().GetText(IDC_STATUS), said);
    EXPECT_EQ(WritePortByte(port, 0x55).outcome, PortOutcome::Ok);
    EXPECT_EQ(WritePortText(port, page.Bytes(), 4).outcome, PortOutcome::Refused);
    EXPECT_EQ(LogLinesAfterHeader(fixture), std::vector<std::string>{said});
    EXPECT_EQ(pty.Drain(), std::vector<uint8_t>{0x55});
    // The next write goes out as ever.
    EXPECT_TRUE(WritePortText(port, "ok", 0).Ok());
    const std::vector<uint8_t> sent = pty.Drain();
    EXPECT_EQ(std::string(sent.begin(), sent.end()), "ok");
    // A port opened again says its own first refusal.
    ASSERT_TRUE(Open(9600));
    EXPECT_EQ(WritePortText(port, page.Bytes(), 4).outcome, PortOutcome::Refused);
    EXPECT_EQ(LogLinesAfterHeader(fixture), (std::vector<std::string>{said, said}));
}

TEST_F(PortWriteRefused, AHungUpLineIsALossNotARefusal) {
    ASSERT_TRUE(Open(9600));
    pty.CloseSlaveKeeper();
    pty.CloseMaster();
    EXPECT_EQ(WritePortByte(port, 0x55).outcome, PortOutcome::Lost);
    EXPECT_EQ(WritePortText(port, "more", 0).outcome, PortOutcome::Lost);
    EXPECT_TRUE(IsPortLost(port));
    EXPECT_EQ(CountLinesStartingWith(LogLinesAfterHeader(fixture), "Serial device lost"), 1);
}

}  // namespace
}  // namespace zelvar::test
