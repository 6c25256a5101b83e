// The station's pure pieces: worker lines split with a bound, JSON lines read leniently,
// a unit's state from its events and its end, port lists and the watch of devices.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/exit_codes.h"
#include "cli/station/json_fields.h"
#include "cli/station/line_splitter.h"
#include "cli/station/port_watch.h"
#include "cli/station/unit_ports.h"
#include "cli/station/unit_state.h"
#include "support/test_env.h"

namespace zelvar::cli {
namespace {

using test::TempDir;
using test::WriteFile;

std::vector<std::string> Split(CLineSplitter& splitter, const std::string& bytes) {
    std::vector<std::string> lines;
    splitter.Feed(bytes.data(), bytes.size(), [&](const std::string& l) { lines.push_back(l); });
    return lines;
}

TEST(StationLines, PiecesJoinAndAnEndlessLineIsCutAtTheBound) {
    CLineSplitter splitter;
    EXPECT_TRUE(Split(splitter, "{\"kind\":").empty());
    EXPECT_EQ(Split(splitter, "1}\r\nsecond\nthi"),
              (std::vector<std::string>{"{\"kind\":1}", "second"}));
    std::vector<std::string> rest;
    splitter.Finish([&](const std::string& l) { rest.push_back(l); });
    EXPECT_EQ(rest, std::vector<std::string>{"thi"});

    const std::string endless(3 * kMaxWorkerLineBytes, 'x');
    EXPECT_TRUE(Split(splitter, endless).empty());
    const std::vector<std::string> lines = Split(splitter, endless + "\nnext\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(kMaxWorkerLineBytes, 'x'));
    EXPECT_EQ(lines[1], "next");
}

TEST(StationJson, FieldsInAnyOrderWithEscapesNumbersAndNestedValues) {
    JsonFields fields;
    ASSERT_TRUE(
        ParseJsonFields(R"( {"t":1.250, "text":"a \"b\"\\\n\u00e9", "kind":"progress","done":12,)"
                        R"("extra":{"x":[1,"}"]},"ok":true} )",
                        fields));
    EXPECT_EQ(FieldOf(fields, "kind"), "progress");
    EXPECT_EQ(FieldOf(fields, "text"), "a \"b\"\\\n\xc3\xa9");
    EXPECT_EQ(FieldOf(fields, "t"), "1.250");
    EXPECT_EQ(FieldOf(fields, "done"), "12");
    EXPECT_EQ(FieldOf(fields, "extra"), R"({"x":[1,"}"]})");
    EXPECT_EQ(FieldOf(fields, "ok"), "true");
    EXPECT_EQ(FieldOf(fields, "missing"), "");
    ASSERT_TRUE(ParseJsonFields("{}", fields));
    EXPECT_TRUE(fields.empty());
    for (const char* bad : {"", "plain text", "{\"kind\":\"message\"", "{\"a\":1}x", "{\"a\" 1}",
                            "{\"a\":\"\\u12\"}", "[1,2]"}) {
        EXPECT_FALSE(ParseJsonFields(bad, fields)) << bad;
    }
}

JsonFields Fields(const std::string& line) {
    JsonFields fields;
    EXPECT_TRUE(ParseJsonFields(line, fields)) << line;
    return fields;
}

TEST(StationUnitState, PhasesPassesRateReceiverWordsAndResult) {
    UnitState unit;
    ApplyWorkerEvent(unit, Fields(R"({"kind":"status","text":"Waiting data from GPS..."})"), 0);
    ApplyWorkerEvent(unit, Fields(R"({"kind":"status","text":""})"), 0);
    EXPECT_EQ(unit.lastText, "Waiting data from GPS...");
    ApplyWorkerEvent(unit,
                     Fields(R"({"when":"before","kind":"receiver","pfld_start":"0x10000000",)"
                            R"("pfld_length":"0x3000","pfld_crc":"0x1","pfld_version":"1.05",)"
                            R"("fw_start":"0x10004000","fw_version":"GQ07"})"),
                     0);
    EXPECT_EQ(unit.pfldBefore.length, "0x3000");
    EXPECT_EQ(unit.pfldBefore.version, "1.05");
    EXPECT_EQ(unit.fwBefore.start, "0x10004000");
    EXPECT_TRUE(unit.fwAfter.version.empty());
    ApplyWorkerEvent(unit, Fields(R"({"kind":"phase","text":"prepare","phase":"prepare"})"), 1);
    EXPECT_FALSE(unit.uploadStarted);
    for (const char* phase : {"wake", "sfld", "erase", "wake", "erase", "program"}) {
        ApplyWorkerEvent(unit, Fields(std::string(R"({"kind":"phase","phase":")") + phase + "\"}"),
                         2);
    }
    EXPECT_TRUE(unit.uploadStarted);
    EXPECT_EQ(unit.passes, 2);
    EXPECT_EQ(unit.phase, "program");

    const auto progress = [&](int done, double at) {
        ApplyWorkerEvent(unit,
                         Fields(R"({"kind":"progress","phase":"program","done":)" +
                                std::to_string(done) + R"(,"total":40000})"),
                         at);
    };
    progress(0, 10);
    EXPECT_LT(SecondsLeft(unit), 0);  // no rate from one sample
    progress(10000, 12);
    EXPECT_DOUBLE_EQ(unit.bytesPerSecond, 5000);
    EXPECT_EQ(ProgramPercent(unit), 25);
    EXPECT_DOUBLE_EQ(SecondsLeft(unit), 6);

    // The verification's read-back, whatever it is called, is the receiver after the upload.
    ApplyWorkerEvent(unit, Fields(R"({"kind":"receiver","when":"before","fw_length":"0x9000"})"),
                     19);
    EXPECT_EQ(unit.fwAfter.length, "0x9000");
    ApplyWorkerEvent(unit, Fields(R"({"kind":"receiver","when":"after","fw_version":"GQ08"})"), 20);
    EXPECT_EQ(unit.fwAfter.version, "GQ08");
    EXPECT_EQ(unit.fwBefore.version, "GQ07");
    ApplyWorkerEvent(unit,
                     Fields(R"({"kind":"result","code":5,"text":"Verification failed",)"
                            R"("frames_sent":27,"frames_refused":1,"mean_frame_bytes":1707,)"
                            R"("undetected_chance":2.43e-07})"),
                     21);
    unit.startSeconds = 1;
    ApplyWorkerEnd(unit, 5 << 8, 22);  // exit status 5
    EXPECT_TRUE(unit.finished);
    EXPECT_EQ(unit.exitCode, 5);
    EXPECT_EQ(unit.resultText, "Verification failed");
    EXPECT_DOUBLE_EQ(unit.seconds, 21);
    ASSERT_TRUE(unit.line.has_value());
    EXPECT_EQ(unit.line->framesSent, 27u);
    EXPECT_EQ(unit.line->framesRefused, 1u);
    EXPECT_EQ(unit.line->meanFrameBytes, 1707u);
    EXPECT_DOUBLE_EQ(unit.line->undetectedChance, 2.43e-07);
}

// The line figures are all or nothing: a verdict without them, or with one that is not a
// count or a chance, leaves the unit without figures.
TEST(StationUnitState, LineFiguresOnlyFromAResultThatGivesThemAll) {
    const std::string counts = R"("frames_sent":27,"frames_refused":0,"mean_frame_bytes":2048)";
    for (const std::string& figures :
         {std::string(), counts, counts + R"(,"undetected_chance":"often")",
          counts + R"(,"undetected_chance":1.5)",
          std::string(R"("frames_sent":-1,"frames_refused":0,"mean_frame_bytes":2048,)"
                      R"("undetected_chance":0)")}) {
        UnitState unit;
        unit.line = LineFigures{};
        const std::string comma = figures.empty() ? "" : ",";
        ApplyWorkerEvent(unit, Fields(R"({"kind":"result","code":3)" + comma + figures + "}"), 1);
        EXPECT_FALSE(unit.line.has_value()) << figures;
    }
    UnitState clean;
    ApplyWorkerEvent(
        clean, Fields(R"({"kind":"result","code":0,)" + counts + R"(,"undetected_chance":0})"), 1);
    ASSERT_TRUE(clean.line.has_value());
    EXPECT_EQ(clean.line->meanFrameBytes, 2048u);
    EXPECT_EQ(clean.line->undetectedChance, 0);
}

int StatusOfChild(void (*body)()) {
    const pid_t pid = fork();
    if (pid == 0) body();
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST(StationUnitState, WorkerEndingWithoutResultCountsByWhereItStopped) {
    const int killed = StatusOfChild([] { kill(getpid(), SIGKILL); });
    const int exited4 = StatusOfChild([] { _exit(4); });
    const int exited0 = StatusOfChild([] { _exit(0); });

    UnitState early;
    ApplyWorkerEnd(early, exited4, 1);
    EXPECT_EQ(early.exitCode, 4);
    UnitState silent;
    ApplyWorkerEnd(silent, exited0, 1);
    EXPECT_EQ(silent.exitCode, kExitUploadFailed) << "no result confirms nothing";
    UnitState signalled;
    ApplyWorkerEnd(signalled, killed, 1);
    EXPECT_EQ(signalled.exitCode, 128 + SIGKILL);
    EXPECT_NE(signalled.resultText.find("signal 9"), std::string::npos);

    UnitState programming;
    ApplyWorkerEvent(programming, Fields(R"({"kind":"phase","phase":"erase"})"), 0);
    ApplyWorkerEnd(programming, killed, 1);
    EXPECT_EQ(programming.exitCode, kExitUploadFailed);
    EXPECT_EQ(programming.resultText.rfind("Upload failed", 0), 0u) << programming.resultText;
    EXPECT_FALSE(programming.line.has_value()) << "no verdict, no line figures";
}

TEST(StationUnitState, PortLabels) {
    EXPECT_EQ(PortLabel("/dev/ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(PortLabel("GPS1:"), "GPS1");
    EXPECT_EQ(PortLabel("/dev/serial/by-id/usb-Maker_Cable_42-if00-port0"),
              "usb-Maker_Cable_42-if00-port0");
    EXPECT_EQ(PortLabel("ports/a/"), "a");
}

TEST(StationPorts, GivenThenListedEachOnceWithoutCommentsOrBlanks) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("ports"),
                          "# bench 3\n/dev/ttyUSB1\n\n  /dev/ttyUSB2  # left\r\n/dev/ttyUSB0\n"));
    std::vector<std::string> ports;
    std::string error;
    ASSERT_TRUE(StationPorts({"/dev/ttyUSB0", "GPS1:"}, dir.File("ports"), ports, error));
    EXPECT_EQ(ports,
              (std::vector<std::string>{"/dev/ttyUSB0", "GPS1:", "/dev/ttyUSB1", "/dev/ttyUSB2"}));
    EXPECT_FALSE(StationPorts({}, dir.File("none"), ports, error));
    EXPECT_NE(error.find(dir.File("none")), std::string::npos) << error;
}

TEST(StationPortWatch, ADeviceIsNewOnlyAfterItWasGone) {
    TempDir dir;
    CPortWatch watch({}, dir.File("*"));
    EXPECT_TRUE(watch.Appeared().empty());
    ASSERT_TRUE(WriteFile(dir.File("b"), ""));
    ASSERT_TRUE(WriteFile(dir.File("a"), ""));
    EXPECT_EQ(watch.Appeared(), (std::vector<std::string>{dir.File("a"), dir.File("b")}));
    EXPECT_TRUE(watch.Appeared().empty());
    ASSERT_EQ(unlink(dir.File("a").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("gone").c_str(), dir.File("dangling").c_str()), 0);
    EXPECT_TRUE(watch.Appeared().empty()) << "a link to nothing is no device";
    ASSERT_TRUE(WriteFile(dir.File("a"), ""));
    EXPECT_EQ(watch.Appeared(), std::vector<std::string>{dir.File("a")});

    CPortWatch given({dir.File("c"), dir.File("a")}, "");
    EXPECT_EQ(given.Appeared(), std::vector<std::string>{dir.File("a")});
    ASSERT_TRUE(WriteFile(dir.File("c"), ""));
    EXPECT_EQ(given.Appeared(), std::vector<std::string>{dir.File("c")});
}

}  // namespace
}  // namespace zelvar::cli
