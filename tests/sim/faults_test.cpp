// Faults on request and the real line rate: REC_WAIT storms, silence, a vanishing
// device, answers at one speed only, and paced frames.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "sim_test_line.h"
#include "support/test_env.h"

namespace zelvar::sim::test {
namespace {

constexpr int kAnswerMs = 2000;
using Clock = std::chrono::steady_clock;

std::unique_ptr<CSimReceiver> StartInLoader(SimFaults faults, bool pace = false) {
    SimOptions options;
    options.startInPfld = true;
    options.pace = pace;
    options.faults = faults;
    return StartSim(options);
}

TEST(SimFaults, StormOfWaitBytesComesBeforeTheAnswer) {
    SimFaults faults;
    faults.stormFrame = 2;
    faults.stormCount = 250;
    auto sim = StartInLoader(faults);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    EXPECT_EQ(SendFrame(line, DataFrame(0x00201000, {1, 2})), 0x55);
    EXPECT_EQ(SendFrame(line, DataFrame(0x00201002, {3, 4})), 0x77);
    Bytes before;
    ASSERT_TRUE(line.ReadUntil(0x55, kAnswerMs, &before));
    EXPECT_EQ(before, Bytes(249, 0x77));
    // The loader writes the frame again without a new handshake; it is taken.
    line.Send(DataFrame(0x00201002, {3, 4}));
    EXPECT_EQ(line.Read(1, kAnswerMs), Bytes{0x55});
}

TEST(SimFaults, SilenceForAWhileSwallowsTheAnswerThenTheLoaderTalksAgain) {
    SimFaults faults;
    faults.silenceAfterFrame = 1;
    faults.silenceMs = 600;
    auto sim = StartInLoader(faults);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    EXPECT_EQ(SendFrame(line, DataFrame(0x00201000, {1, 2}), 300), 0);
    line.SendByte(0x55);
    EXPECT_TRUE(line.Read(1, 200).empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(SendFrame(line, DataFrame(0x00201000, {1, 2})), 0x55);
}

TEST(SimFaults, SilenceForGoodAfterSomeBytes) {
    SimFaults faults;
    faults.silenceAfterBytes = 1;
    auto sim = StartInLoader(faults);
    SimTestLine line(sim->SlavePath(), 19200);
    line.SendByte(0x55);
    EXPECT_TRUE(line.ReadQuiet(300, 1000).empty());
    line.Send("$A\r\n");
    EXPECT_TRUE(line.ReadQuiet(300, 1000).empty());
}

TEST(SimFaults, VanishingClosesTheDeviceAndRemovesTheLink) {
    zelvar::test::TempDir dir;
    SimOptions options;
    options.linkPath = dir.File("gps");
    options.faults.vanishAfterBytes = 4;
    auto sim = StartSim(options);
    SimTestLine line(options.linkPath, 4800);
    line.Send("$PQRXQ,PRT\r\n");
    ASSERT_TRUE(sim->WaitForEvent("vanished", kAnswerMs));
    EXPECT_EQ(sim->Mode(), SimMode::Vanished);
    line.Read(1, kAnswerMs);
    EXPECT_TRUE(line.HungUp());
    struct stat st {};
    EXPECT_NE(lstat(options.linkPath.c_str(), &st), 0);
}

TEST(SimFaults, AnswersOnlyAtOneSpeed) {
    SimOptions options;
    options.faults.answerOnlyAtSpeed = 4800;
    auto sim = StartSim(options);
    SimTestLine line(sim->SlavePath(), 4800);
    line.Send("$PQRXQ,PRT\r\n");
    EXPECT_FALSE(line.ReadQuiet(150, kAnswerMs).empty());
    line.Send(Bytes{0x24, 0x24, 0x00, 0x07, 0x0A, 0x00, 0x0D});
    ASSERT_TRUE(sim->WaitForEvent("mode resident loader", kAnswerMs));
    line.SetSpeed(19200);
    line.Send("$A\r\n");
    EXPECT_TRUE(line.ReadQuiet(300, 1000).empty());
    EXPECT_TRUE(sim->WaitForEvent("loader probe", kAnswerMs));  // heard, not answered
}

TEST(SimPace, FullFrameIsAnsweredAfterItsTimeOnTheLine) {
    auto sim = StartInLoader(SimFaults{}, true);
    SimTestLine line(sim->SlavePath(), 19200);
    ASSERT_TRUE(RunResidentDialogue(line));
    line.SendByte(0x55);
    ASSERT_TRUE(line.ReadUntil(0x77, kAnswerMs));
    auto start = Clock::now();
    line.Send(DataFrame(0x00201000, Bytes(2048, 0x5A)));  // 2058 bytes: about 1.07 s
    EXPECT_EQ(line.Read(1, 5000), Bytes{0x55});
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 4000);
}

TEST(SimPace, TextAnswerTakesItsTimeToo) {
    auto sim = StartInLoader(SimFaults{}, true);
    SimTestLine line(sim->SlavePath(), 19200);
    line.SendByte(0x55);
    auto start = Clock::now();
    Bytes text = line.Read(16, 3000);  // "$VER PFLD 1.05\r\n"
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(Text(text), "$VER PFLD 1.05\r\n");
    EXPECT_GE(ms, 8);  // 17 bytes at 19200: 8.9 ms
}

TEST(SimExecutable, RunsOnItsLinkWritesTheTraceAndEndsOnSigterm) {
    std::string program = std::string(ZELVAR_BINARY_DIR) + "/zelvar-sim";
    if (access(program.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "zelvar-sim is not built";
    }
    zelvar::test::TempDir dir;
    std::string link = dir.File("gps-sim");
    std::string trace = dir.File("trace.txt");
    pid_t pid = fork();
    if (pid == 0) {
        execl(program.c_str(), program.c_str(), "--link", link.c_str(), "--speed", "9600",
              "--trace", trace.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    struct stat st {};
    for (int i = 0; i < 100 && lstat(link.c_str(), &st) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    {
        SimTestLine line(link, 9600);
        ASSERT_TRUE(line.IsOpen());
        line.Send("$PQRXQ,PRT\r\n");
        EXPECT_EQ(Text(line.ReadQuiet(150, kAnswerMs)).rfind("$PQRXR,PRT,0,9600,", 0), 0u);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    std::string text = zelvar::test::ReadFile(trace);
    EXPECT_NE(text.find("rx 24"), std::string::npos);
    EXPECT_NE(text.find("sentence $PQRXQ,PRT"), std::string::npos);
}

}  // namespace
}  // namespace zelvar::sim::test
