// What the terminal sends and how its job ends, with a scripted pty peer.
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "app/jobs.h"
#include "base/message_log.h"
#include "pty_pair.h"
#include "support/refused_line_speed.h"
#include "terminal_fixture.h"
#include "test_env.h"

namespace zelvar {
namespace {

using test::PtyPair;
using test::TerminalJob;
using test::WaitFor;
using test::WindowFixture;

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

class TerminalSend : public ::testing::Test {
  protected:
    void SetUp() override { test::ResetTerminalState(); }
    void TearDown() override { test::ResetTerminalState(); }

    std::unique_ptr<TerminalJob> StartOn(PtyPair& pty) {
        auto job = std::make_unique<TerminalJob>(pty.SlavePath());
        EXPECT_TRUE(WaitFor([&] { return pty.SlaveSpeed() == 4800; }));
        return job;
    }
    // What the loop wrote for one Send, and nothing after it.
    std::vector<uint8_t> SendAndCollect(PtyPair& pty, const char* text, std::size_t expected) {
        PostTerminalCommand(TermSend, text);
        std::vector<uint8_t> got = pty.Receive(expected, test::kWaitMs);
        std::vector<uint8_t> extra = pty.Drain(100, 500);
        got.insert(got.end(), extra.begin(), extra.end());
        return got;
    }

    WindowFixture m_fx;
};

TEST_F(TerminalSend, TextAndHexCommandsGoOutWithCrLf) {
    PtyPair pty;
    auto job = StartOn(pty);
    EXPECT_EQ(SendAndCollect(pty, "$PQRXQ,RID", 12), Bytes("$PQRXQ,RID\r\n"));
    EXPECT_EQ(SendAndCollect(pty, "@ 100 -1 zz", 5),
              (std::vector<uint8_t>{0x00, 0xFF, 0x00, 0x0D, 0x0A}));
    EXPECT_EQ(SendAndCollect(pty, "@", 2), (std::vector<uint8_t>{0x0D, 0x0A}));
    EXPECT_EQ(SendAndCollect(pty, "@ 24 24 0 7 A 0 D", 9),
              (std::vector<uint8_t>{0x24, 0x24, 0x00, 0x07, 0x0A, 0x00, 0x0D, 0x0D, 0x0A}));
    EXPECT_EQ(SendAndCollect(pty, "@  0x1F   +2 -0x2 123456789ab", 6),
              (std::vector<uint8_t>{0x1F, 0x02, 0xFE, 0xAB, 0x0D, 0x0A}));
    // The longest command the dialog hands over still gets its CR LF.
    std::string longest(kSendTextBytes + 40, 'Q');
    std::vector<uint8_t> got = SendAndCollect(pty, longest.c_str(), kSendTextBytes + 2);
    EXPECT_EQ(got, Bytes(std::string(kSendTextBytes, 'Q') + "\r\n"));
    EXPECT_TRUE(job->Stop());
}

TEST_F(TerminalSend, CommandsQueuedBeforeTheLoopRunsAreNotLost) {
    PtyPair pty;
    BeginTerminalSession(pty.SlavePath().c_str());
    PostTerminalCommand(TermSpeed19200);
    PostTerminalCommand(TermSend, "one");
    PostTerminalCommand(TermSend, "two");
    PostTerminalCommand(TermSpeed9600);
    PostTerminalCommand(TermSend, "three");
    std::thread worker([&] {
        ASSERT_TRUE(WaitForTerminalIdle(pty.SlavePath().c_str()));
        RunTerminal(OpenPort(pty.SlavePath().c_str(), 57600));
    });
    EXPECT_EQ(pty.Receive(17, test::kWaitMs), Bytes("one\r\ntwo\r\nthree\r\n"));
    EXPECT_TRUE(WaitFor([&] { return pty.SlaveSpeed() == 9600; }));
    PostTerminalCommand(TermStop);
    worker.join();
    EXPECT_EQ(ActiveTerminalSession(), 0);
}

TEST_F(TerminalSend, SpeedCommandsChangeTheLine) {
    PtyPair pty;
    auto job = StartOn(pty);
    const std::pair<int, int> speeds[] = {{TermSpeed9600, 9600},
                                          {TermSpeed19200, 19200},
                                          {TermSpeed57600, 57600},
                                          {TermSpeed115200, 115200},
                                          {TermSpeed4800, 4800}};
    for (auto [command, baud] : speeds) {
        PostTerminalCommand(command);
        EXPECT_TRUE(WaitFor([&, baud = baud] { return pty.SlaveSpeed() == baud; })) << baud;
    }
    EXPECT_TRUE(job->Stop());
}

TEST_F(TerminalSend, RefusedSpeedIsShownAndTheTerminalGoesOnAtTheOldSpeed) {
    PtyPair pty;
    auto job = StartOn(pty);
    {
        test::RefusedLineSpeed refused(57600);
        g_terminalBaud = 57600;  // as the dialog sets it with the command
        PostTerminalCommand(TermSpeed57600);
        const std::string text = "Line speed 57600 refused by the serial port.";
        EXPECT_TRUE(WaitFor([&] { return m_fx.Window().GetText(IDC_STATUS) == text; }));
        EXPECT_NE(m_fx.LogText().find(text + "\r\n"), std::string::npos);
        EXPECT_EQ(SendAndCollect(pty, "after", 7), Bytes("after\r\n"));
        EXPECT_EQ(pty.SlaveSpeed(), 4800);
        EXPECT_FALSE(job->Done());
        // A reopen asks for the speed the line has, not for the refused one.
        EXPECT_EQ(g_terminalBaud.load(), 4800);
        g_portName.Set(pty.SlavePath().c_str());
        PostTerminalCommand(TermReopen);
        EXPECT_EQ(SendAndCollect(pty, "reopened", 10), Bytes("reopened\r\n"));
        EXPECT_EQ(pty.SlaveSpeed(), 4800);
        EXPECT_FALSE(job->Done());
    }
    PostTerminalCommand(TermSpeed19200);
    EXPECT_TRUE(WaitFor([&] { return pty.SlaveSpeed() == 19200; }));
    EXPECT_TRUE(m_fx.Window().Questions().empty());
    EXPECT_TRUE(job->Stop());
}

TEST_F(TerminalSend, ReopenMovesTheLoopToTheChosenPort) {
    PtyPair first;
    PtyPair second;
    auto job = StartOn(first);
    g_portName.Set(second.SlavePath().c_str());
    g_terminalBaud = 19200;
    PostTerminalCommand(TermReopen);
    PostTerminalCommand(TermSend, "hello");
    EXPECT_EQ(second.Receive(7, test::kWaitMs), Bytes("hello\r\n"));
    EXPECT_EQ(second.SlaveSpeed(), 19200);
    // The first port is free again: another owner can open it.
    PortHandle again = OpenPort(first.SlavePath().c_str(), 4800);
    EXPECT_NE(again, kInvalidPort);
    ClosePort(again);
    EXPECT_TRUE(job->Stop());
}

TEST_F(TerminalSend, FailedReopenEndsTheJobAndItsStaleStopSparesTheNextJob) {
    m_fx.Window().SetAnswerer([](const CHeadlessWindow::Question&) { return true; });
    PtyPair pty;
    auto job = StartOn(pty);
    g_portName.Set("/nonexistent/zelvar-tty");
    PostTerminalCommand(TermReopen);
    ASSERT_TRUE(job->WaitDone());
    ASSERT_FALSE(m_fx.Window().Questions().empty());
    EXPECT_EQ(m_fx.Window().Questions().back().text, "Can not open serial port 1.");
    EXPECT_EQ(ActiveTerminalSession(), 0);
    // Sends made with no loop running go nowhere; leaving terminal mode then posts a
    // Stop for a loop that has gone. Neither may reach the next terminal job.
    PostTerminalCommand(TermSend, "lost");
    PostTerminalCommand(TermStop);
    auto next = StartOn(pty);
    EXPECT_TRUE(pty.Drain(100, 500).empty());
    PostTerminalCommand(TermSend, "alive");
    EXPECT_EQ(pty.Receive(7, test::kWaitMs), Bytes("alive\r\n"));
    EXPECT_FALSE(next->Done());
    EXPECT_TRUE(next->Stop());
}

// The command line runs its terminal job through RunJob on a thread that lives on.
TEST_F(TerminalSend, DirectTerminalJobOpensThePortOnlyOnceThePreviousLoopLetGo) {
    m_fx.Window().SetAnswerer([](const CHeadlessWindow::Question&) { return true; });
    PtyPair pty;
    auto old = StartOn(pty);
    std::atomic<int> result{1};
    std::thread direct([&] { result = RunJob(pty.SlavePath().c_str(), "", 1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(result.load(), 1);  // still waiting, not refused by a busy port
    PostTerminalCommand(TermStop);
    ASSERT_TRUE(old->WaitDone());
    ASSERT_TRUE(WaitFor([] { return RunningTerminalLoops() == 1; }));
    PostTerminalCommand(TermSend, "direct");
    EXPECT_EQ(pty.Receive(8, test::kWaitMs), Bytes("direct\r\n"));
    PostTerminalCommand(TermStop);
    direct.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_TRUE(m_fx.Window().Questions().empty());

    // A port that does not open gives the claim back at once, so the next job runs.
    EXPECT_EQ(RunJob("/nonexistent/zelvar-tty", "", 1), -2);
    EXPECT_EQ(test::Lines(m_fx.Window()).back(), "Upload failed");
    EXPECT_EQ(ActiveTerminalSession(), 0);
    auto next = StartOn(pty);
    PostTerminalCommand(TermSend, "next");
    EXPECT_EQ(pty.Receive(6, 3000), Bytes("next\r\n"));
    EXPECT_TRUE(next->Stop());
}

TEST_F(TerminalSend, LostDeviceEndsTheJob) {
    PtyPair pty;
    auto job = StartOn(pty);
    pty.CloseSlaveKeeper();
    pty.CloseMaster();
    EXPECT_TRUE(job->WaitDone(10000));
    EXPECT_EQ(ActiveTerminalSession(), 0);
    EXPECT_EQ(RunningTerminalLoops(), 0);
}

TEST_F(TerminalSend, CancelEndsTheJob) {
    PtyPair pty;
    auto job = StartOn(pty);
    g_jobCancel = true;
    EXPECT_TRUE(job->WaitDone());
    EXPECT_EQ(ActiveTerminalSession(), 0);
}

TEST(ParseHexCommand, RewritesInPlaceAndCountsBytes) {
    char buffer[kSendBufferBytes] = "@ 100 -1 zz";
    ASSERT_EQ(ParseHexCommand(buffer), 3);
    EXPECT_EQ(static_cast<uint8_t>(buffer[0]), 0x00);
    EXPECT_EQ(static_cast<uint8_t>(buffer[1]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(buffer[2]), 0x00);
    char spaces[kSendBufferBytes] = "@     ";
    EXPECT_EQ(ParseHexCommand(spaces), 0);
    // The most values a command of the dialog's length can hold.
    char many[kSendBufferBytes] = "@";
    for (int i = 0; i < 254; ++i) std::strcat(many, " f");
    EXPECT_EQ(ParseHexCommand(many), 254);
    EXPECT_EQ(static_cast<uint8_t>(many[253]), 0x0F);
}

}  // namespace
}  // namespace zelvar
