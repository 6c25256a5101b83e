// Every exit code of zelvar, each reached by its real cause.
#include <gtest/gtest.h>

#include "image_recipes.h"
#include "pty_pair.h"
#include "sim_start.h"
#include "zelvar_runner.h"

namespace zelvar::test {
namespace {

constexpr std::size_t kPfldBytes = 0x3000;
constexpr std::size_t kFwBytes = 0x10000;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CliExitCodes, MissingDeviceIsTwoWithTheSystemsReason) {
    TempDir dir;
    const std::string image = WriteImage(dir, "fw.bin", MakeParts(1, kPfldBytes, kFwBytes));
    const std::string missing = dir.File("no-such-device");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"connect", "--port", missing, "--log", dir.File("c.txt")},
          std::vector<std::string>{"flash", "--port", missing, "--log", dir.File("f.txt"), image},
          std::vector<std::string>{"terminal", "--port", missing, "--log", dir.File("t.txt")}}) {
        const ZelvarRun run = RunZelvar(args);
        EXPECT_EQ(run.exitCode, 2) << args[0] << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.err, "Can not open serial port 1.")) << run.err;
        EXPECT_TRUE(Contains(run.err, "zelvar: " + missing + ": ")) << run.err;
    }
}

TEST(CliExitCodes, SilentLineIsFourAndNothingIsUploaded) {
    TempDir dir;
    PtyPair line;
    const std::string image = WriteImage(dir, "fw.bin", MakeParts(1, kPfldBytes, kFwBytes));
    const ZelvarRun connect =
        RunZelvar({"connect", "--port", line.SlavePath(), "--log", dir.File("c.txt")});
    EXPECT_EQ(connect.exitCode, 4) << connect.out << connect.err;
    EXPECT_TRUE(Contains(connect.out, "Cannot connect to GPS.")) << connect.out;

    const ZelvarRun flash =
        RunZelvar({"flash", "--port", line.SlavePath(), "--log", dir.File("f.txt"), image});
    EXPECT_EQ(flash.exitCode, 4) << flash.out << flash.err;
    EXPECT_FALSE(Contains(flash.out, "Opening SFLD ...")) << flash.out;
}

TEST(CliExitCodes, RefusedImageIsThreeBeforeAnythingIsProgrammed) {
    TempDir dir;
    const CompositeImageParts parts = MakeParts(1, kPfldBytes, kFwBytes);
    const std::string factory = WriteImage(dir, "factory.bin", parts);
    std::string broken = ReadFile(WriteImage(dir, "broken.bin", parts));
    broken[0x5000] ^= 0x01;  // inside the FW section: its check word no longer matches
    WriteFile(dir.File("broken.bin"), broken);

    sim::SimOptions options;
    options.linkPath = dir.File("gps");
    auto receiver = StartSim(options, factory);
    ASSERT_NE(receiver, nullptr);
    const std::vector<uint8_t> before = receiver->Flash();
    const ZelvarRun run = RunZelvar({"flash", "--port", receiver->LinkPath(), "--log",
                                     dir.File("f.txt"), "--yes", "--json", dir.File("broken.bin")});
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "FAILED.")) << run.out;
    EXPECT_EQ(receiver->Flash(), before);
    // No frame was sent, so the verdict has no line figures.
    ASSERT_FALSE(run.OutLines().empty());
    EXPECT_TRUE(Contains(run.OutLines().back(), "\"code\":3")) << run.out;
    EXPECT_FALSE(Contains(run.OutLines().back(), "frames_")) << run.out;
}

TEST(CliExitCodes, ReceiverVanishingDuringProgrammingIsOne) {
    TempDir dir;
    const CompositeImageParts parts = MakeParts(1, kPfldBytes, kFwBytes);
    const std::string factory = WriteImage(dir, "factory.bin", parts);
    CompositeImageParts next = parts;
    next.fw = MakeParts(5, kPfldBytes, kFwBytes).fw;
    const std::string image = WriteImage(dir, "new.bin", next);
    sim::SimOptions options;
    options.linkPath = dir.File("gps");
    options.faults.vanishAfterBytes = 40000;  // past the SFLD, well inside the FW frames
    auto receiver = StartSim(options, factory);
    ASSERT_NE(receiver, nullptr);
    const ZelvarRun run = RunZelvar(
        {"flash", "--port", receiver->LinkPath(), "--log", dir.File("f.txt"), image}, "", 120);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "Upload failed")) << run.out;
}

TEST(CliExitCodes, TimeoutOnASilentReceiverIsOne) {
    TempDir dir;
    const CompositeImageParts parts = MakeParts(1, kPfldBytes, kFwBytes);
    const std::string factory = WriteImage(dir, "factory.bin", parts);
    sim::SimOptions options;
    options.linkPath = dir.File("gps");
    options.faults.silenceAfterFrame = 4;  // falls silent for good in the middle of the upload
    auto receiver = StartSim(options, factory);
    ASSERT_NE(receiver, nullptr);
    const ZelvarRun run = RunZelvar({"flash", "--port", receiver->LinkPath(), "--log",
                                     dir.File("f.txt"), "--timeout", "20", factory},
                                    "", 120);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, "time limit")) << run.err;
    EXPECT_EQ(receiver->Programmings(), 0);
    // The log gives the reason before its verdict.
    const std::string log = ReadFile(dir.File("f.txt"));
    const std::size_t limit = log.find("Time limit of 20 s passed: stopping\r\n");
    EXPECT_NE(limit, std::string::npos) << log;
    EXPECT_NE(log.find("Upload failed\r\n", limit), std::string::npos) << log;
}

TEST(CliExitCodes, UsageErrorsAreSixtyFour) {
    TempDir dir;
    const std::vector<std::vector<std::string>> usages = {
        {},
        {"flash", "--port", "GPS1:"},
        {"flash", "--port", "GPS1:", "--yes", "--no", "fw.bin"},
        {"flash", "fw.bin"},
        {"flash", "--port", "GPS1:", "--timeout", "-3", "fw.bin"},
        {"terminal", "--port", "GPS1:", "--speed", "1234"},
        {"connect", "--port", std::string(256, 'x')},
        {"make-image", "--pfld", "a", "out.bin"},
        {"inspect"},
        {"erase", "--port", "GPS1:"},
    };
    for (const std::vector<std::string>& args : usages) {
        const ZelvarRun run = RunZelvar(args);
        std::string joined;
        for (const std::string& arg : args) joined += arg + " ";
        EXPECT_EQ(run.exitCode, 64) << joined << "\n" << run.out << run.err;
    }
}

TEST(CliExitCodes, HelpOnEveryCommandAndVersionAreZero) {
    for (const char* command : {"connect", "flash", "terminal", "inspect", "make-image"}) {
        const ZelvarRun run = RunZelvar({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_TRUE(Contains(run.out, "Usage:")) << command << "\n" << run.out;
    }
    const ZelvarRun version = RunZelvar({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(Contains(version.out, "1.1.2")) << version.out;
}

}  // namespace
}  // namespace zelvar::test
