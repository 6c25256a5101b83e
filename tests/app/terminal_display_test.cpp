// What the terminal shows of the receiver's output, with a scripted pty peer.
#include <string>
#include <vector>

#include "pty_pair.h"
#include "terminal_fixture.h"
#include "test_env.h"

namespace zelvar {
namespace {

using test::Lines;
using test::PtyPair;
using test::TerminalJob;
using test::WaitFor;
using test::WaitForLines;
using test::WindowFixture;

class TerminalDisplay : public ::testing::Test {
  protected:
    void SetUp() override { test::ResetTerminalState(); }
    void TearDown() override { test::ResetTerminalState(); }

    // The loop is running once it has taken its first command (the speed change).
    void StartJob() {
        m_job = std::make_unique<TerminalJob>(m_pty.SlavePath());
        ASSERT_TRUE(WaitFor([&] { return m_pty.SlaveSpeed() == 4800; }));
    }

    WindowFixture m_fx;
    PtyPair m_pty;
    std::unique_ptr<TerminalJob> m_job;
};

TEST_F(TerminalDisplay, TextLinesAreCutAfterChecksumAndCleanedOfControlBytes) {
    StartJob();
    m_pty.Send("$GPGGA,1*4F junk\r\n");
    m_pty.Send("\r\n\r\n");  // blank lines show nothing
    m_pty.Send("\t\r\n");    // a lone TAB: one line of spaces
    m_pty.Send(
        "a\x01\x80\xff"
        "b\n");                 // control and upper bytes become spaces
    m_pty.Send("no star*4\r");  // fewer than two after '*': up to the end
    ASSERT_TRUE(WaitForLines(m_fx.Window(), 4));
    EXPECT_EQ(Lines(m_fx.Window()),
              (std::vector<std::string>{"$GPGGA,1*4F", " ", "a   b", "no star*4"}));
    EXPECT_NE(m_fx.LogText().find("$GPGGA,1*4F\r\n \r\na   b\r\n"), std::string::npos);
}

TEST_F(TerminalDisplay, LongLineIsSplitAt511AndTheNextByteIsLost) {
    StartJob();
    std::string line;
    for (int i = 0; i < 600; ++i) line += static_cast<char>('A' + i % 26);
    m_pty.Send(line + "\r\n");
    ASSERT_TRUE(WaitForLines(m_fx.Window(), 2));
    std::vector<std::string> lines = Lines(m_fx.Window());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], line.substr(0, 511));
    EXPECT_EQ(lines[1], line.substr(512));  // the 512th character is dropped
    EXPECT_EQ(lines[1].size(), 88u);
}

TEST_F(TerminalDisplay, HexShowsEightBytesPerLine) {
    g_hexDisplay = 1;
    StartJob();
    m_pty.Send(std::vector<uint8_t>{0x80, 0xFF, 0x00, 0x0D, 0x0A, 0x41, 0x7F, 0x20});
    m_pty.Send(std::vector<uint8_t>{0x01, 0x02, 0x03});  // an unfinished line stays
    ASSERT_TRUE(WaitForLines(m_fx.Window(), 1));
    std::vector<std::string> lines = Lines(m_fx.Window());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "80 FF 00 0D 0A 41 7F 20 ");
    EXPECT_EQ(lines[0].size(), 24u);
    m_pty.Send(std::vector<uint8_t>{0x04, 0x05, 0x06, 0x07, 0x08});
    ASSERT_TRUE(WaitForLines(m_fx.Window(), 2));
    EXPECT_EQ(Lines(m_fx.Window())[1], "01 02 03 04 05 06 07 08 ");
}

TEST_F(TerminalDisplay, SwitchingToHexKeepsThePartialTextLine) {
    StartJob();
    m_pty.Send("abc");
    // Let the loop take the text bytes before the display changes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    g_hexDisplay = 1;
    m_pty.Send(std::vector<uint8_t>{0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37});
    ASSERT_TRUE(WaitForLines(m_fx.Window(), 1));
    EXPECT_EQ(Lines(m_fx.Window())[0], "abc31 32 33 34 35 36 37 ");
    // The text display goes on from the start of a fresh line.
    g_hexDisplay = 0;
    m_pty.Send("next\r\n");
    ASSERT_TRUE(WaitForLines(m_fx.Window(), 2));
    EXPECT_EQ(Lines(m_fx.Window())[1], "next");
}

TEST_F(TerminalDisplay, PauseDropsLinesWithoutKeepingThem) {
    g_pauseDisplay = 1;
    StartJob();
    m_pty.Send("dropped one\r\ndropped two\r\n");
    // Nothing tells when the loop has read them; a second is plenty for a pty.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_TRUE(Lines(m_fx.Window()).empty());
    g_pauseDisplay = 0;
    m_pty.Send("shown\r\n");
    ASSERT_TRUE(WaitForLines(m_fx.Window(), 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Lines(m_fx.Window()), (std::vector<std::string>{"shown"}));
}

TEST(ShowTerminalLine, KeepsTwoCharactersAfterFirstStarAndCutsLongText) {
    test::WindowFixture fx;
    ShowTerminalLine("$GPRMC,*12*34 tail");
    ShowTerminalLine("*");
    std::string longText(700, 'x');
    ShowTerminalLine(longText.c_str());
    std::vector<std::string> lines = Lines(fx.Window());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "$GPRMC,*12");
    EXPECT_EQ(lines[1], "*");
    EXPECT_EQ(lines[2], std::string(511, 'x'));
}

}  // namespace
}  // namespace zelvar
