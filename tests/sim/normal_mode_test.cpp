// Normal operation: query sentences, memory reads from flash, junk on a speed mismatch,
// noise, the boot request, and the device link.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "base/simulator_link_posix.h"
#include "sim_test_line.h"
#include "support/test_env.h"

namespace zelvar::sim::test {
namespace {

constexpr int kReplyMs = 1500;

std::string Query(SimTestLine& line, const std::string& sentence) {
    line.Send(sentence);
    Bytes got;
    line.ReadUntil('\n', kReplyMs, &got);
    return Text(got);
}

TEST(SimNormalMode, AnswersQueriesWithChecksummedRepliesAndFlashWords) {
    zelvar::test::TempDir dir;
    Bytes image = MakeImage(0x2000, 0x3000, 1);
    zelvar::test::WriteFile(dir.File("in.bin"), Text(image));
    SimOptions options;
    options.flashIn = dir.File("in.bin");
    options.versionText = "GQ42";
    auto sim = StartSim(options);
    SimTestLine line(sim->SlavePath(), 4800);

    EXPECT_EQ(Query(line, "$PQRXQ,PRT\r\n").rfind("$PQRXR,PRT,", 0), 0u);
    EXPECT_EQ(Query(line, "$PQRXQ,RID\r\n"), "$PQRXR,RID,ZELVAR,GQ42*2C\r");
    // The address comes back in capital hexadecimal without leading zeros.
    std::string rdm = Query(line, "$PQRXQ,RDM,10004024\r\n");
    uint32_t fwEnd = image[0x4024] | image[0x4025] << 8 | image[0x4026] << 16 |
                     static_cast<uint32_t>(image[0x4027]) << 24;
    char expected[40];
    std::snprintf(expected, sizeof expected, "$PQRXR,RDM,10004024,%08X*", fwEnd);
    EXPECT_EQ(rdm.rfind(expected, 0), 0u) << rdm;
    EXPECT_EQ(Query(line, "$PQRXQ,RDM,abc\r\n").rfind("$PQRXR,RDM,ABC,FFFFFFFF*", 0), 0u);
}

TEST(SimNormalMode, ReplyChecksumIsTheXorBetweenDollarAndStar) {
    auto sim = StartSim(SimOptions{});
    SimTestLine line(sim->SlavePath(), 4800);
    std::string reply = Query(line, "$PQRXQ,PRT\r\n");
    size_t star = reply.find('*');
    ASSERT_NE(star, std::string::npos);
    uint8_t sum = 0;
    for (size_t i = 1; i < star; ++i) {
        sum ^= static_cast<uint8_t>(reply[i]);
    }
    EXPECT_EQ(std::strtoul(reply.substr(star + 1, 2).c_str(), nullptr, 16), sum);
}

TEST(SimNormalMode, QueryAtAnotherSpeedArrivesAsJunkAndGetsNoReply) {
    auto sim = StartSim(SimOptions{});
    SimTestLine line(sim->SlavePath(), 19200);
    line.Send("$PQRXQ,PRT\r\n");
    EXPECT_TRUE(line.ReadQuiet(300, 1500).empty());
    int junk = 0;
    for (const TraceEntry& e : sim->Trace()) {
        if (e.kind == TraceKind::Received) {
            EXPECT_TRUE(e.junk);
            EXPECT_EQ(e.lineSpeed, 19200u);
            EXPECT_EQ(e.simSpeed, 4800u);
            EXPECT_NE(e.byte, e.meant);
            ++junk;
        }
    }
    EXPECT_EQ(junk, 12);
}

TEST(SimNormalMode, ReplyGoesOutAsJunkWhenTheLoaderChangedSpeedMeanwhile) {
    SimOptions options;
    options.pace = true;  // a reply of ~30 bytes takes ~60 ms at 4800
    auto sim = StartSim(options);
    SimTestLine line(sim->SlavePath(), 4800);
    line.Send("$PQRXQ,RID\r\n");
    ASSERT_TRUE(sim->WaitForEvent("sentence", 2000));
    line.SetSpeed(57600);
    Bytes got = line.ReadQuiet(300, 3000);
    EXPECT_EQ(Text(got).find("RID"), std::string::npos);
    bool sawJunk = false;
    for (const TraceEntry& e : sim->Trace()) {
        sawJunk |= e.kind == TraceKind::Sent && e.junk && e.lineSpeed == 57600;
    }
    EXPECT_TRUE(sawJunk);
}

TEST(SimNormalMode, ConfiguredSpeedOnlyAndNoiseBetweenReplies) {
    SimOptions options;
    options.normalSpeed = 115200;
    options.noisePeriodMs = 50;
    auto sim = StartSim(options);
    SimTestLine line(sim->SlavePath(), 115200);
    std::string all = Text(line.ReadQuiet(400, 400));
    EXPECT_NE(all.find("$GPGGA,"), std::string::npos);
    line.Send("$PQRXQ,PRT\r\n");
    Bytes got = line.ReadQuiet(200, 2000);
    EXPECT_NE(Text(got).find("$PQRXR,PRT,0,115200,"), std::string::npos);
}

TEST(SimNormalMode, BootRequestAtNormalSpeedWakesTheResidentLoader) {
    auto sim = StartSim(SimOptions{});
    SimTestLine line(sim->SlavePath(), 57600);
    const Bytes boot{0x24, 0x24, 0x00, 0x07, 0x0A, 0x00, 0x0D};
    line.Send(boot);  // wrong speed: nothing happens
    EXPECT_FALSE(sim->WaitForEvent("boot request", 300));
    line.SetSpeed(4800);
    line.Send(boot);
    ASSERT_TRUE(sim->WaitForEvent("mode resident loader", 2000));
    EXPECT_EQ(sim->Mode(), SimMode::ResidentLoader);
    line.SetSpeed(19200);
    line.Send("$A\r\n");
    EXPECT_EQ(Text(line.ReadQuiet(150, 2000)).rfind("A:", 0), 0u);
}

TEST(SimLink, LinkPointsToTheDeviceAndGoesAwayAtStop) {
    zelvar::test::TempDir dir;
    SimOptions options;
    options.linkPath = dir.File("gps-sim");
    auto sim = StartSim(options);
    char target[256] = {};
    ASSERT_GT(readlink(options.linkPath.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(sim->SlavePath(), target);
    {
        SimTestLine line(options.linkPath, 4800);
        line.Send("$PQRXQ,PRT\r\n");
        EXPECT_FALSE(line.ReadQuiet(150, 1500).empty());
    }
    sim->Stop();
    struct stat st {};
    EXPECT_NE(lstat(options.linkPath.c_str(), &st), 0);
}

TEST(SimLink, StaleLinkIsReplacedButAFileIsNot) {
    zelvar::test::TempDir dir;
    SimOptions options;
    options.linkPath = dir.File("gps-sim");
    ASSERT_EQ(symlink("/nonexistent", options.linkPath.c_str()), 0);
    auto sim = StartSim(options);
    EXPECT_EQ(sim->LinkPath(), options.linkPath);
    sim->Stop();
    zelvar::test::WriteFile(options.linkPath, "keep");
    CSimReceiver second(options);
    std::string error;
    EXPECT_FALSE(second.Start(error));
    EXPECT_EQ(zelvar::test::ReadFile(options.linkPath), "keep");
}

TEST(SimLink, DefaultPathUsesTheRuntimeDirectory) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string keep = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(DefaultSimLinkPath(), "/run/user/4242/zelvar-sim");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(DefaultSimLinkPath(), "/tmp/zelvar-sim-" + std::to_string(getuid()));
    if (saved) {
        setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
    }
}

}  // namespace
}  // namespace zelvar::sim::test
