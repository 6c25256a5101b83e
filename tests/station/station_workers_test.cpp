// The workers' processes and the loop that reads them: a clean signal state in the child,
// a stalled worker that holds up no other, and the lines of the display built from units.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>

#include "cli/commands.h"
#include "cli/station/line_splitter.h"
#include "cli/station/summary_table.h"
#include "cli/station/unit_json.h"
#include "cli/station/unit_line.h"
#include "cli/station/worker_pool.h"
#include "cli/station/worker_spawn.h"
#include "json_line.h"

namespace zelvar::cli {
namespace {

constexpr int kPollMs = 50;
constexpr double kGiveUpSeconds = 60;  // far beyond what a quick shell command needs

struct Collected : IWorkerListener {
    std::map<int, std::vector<std::string>> out, err;
    std::map<int, int> ended;
    void OnWorkerLine(int unit, bool fromStderr, const std::string& line) override {
        (fromStderr ? err : out)[unit].push_back(line);
    }
    void OnWorkerEnd(int unit, int waitStatus) override { ended[unit] = waitStatus; }
};

// Polls until unit has ended (or kGiveUpSeconds passed).
void PollUntilEnded(CWorkerPool& pool, Collected& seen, int unit) {
    const auto start = std::chrono::steady_clock::now();
    while (seen.ended.count(unit) == 0 && std::chrono::steady_clock::now() - start <
                                              std::chrono::duration<double>(kGiveUpSeconds)) {
        pool.Poll(kPollMs, false, seen);
    }
}

TEST(StationWorkers, ChildStartsWithNoStopSignalBlockedNorSigpipeIgnored) {
    sigset_t stop, previous;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, &previous);
    const auto oldPipe = signal(SIGPIPE, SIG_IGN);

    CWorkerPool pool;
    Collected seen;
    std::string error;
    ASSERT_TRUE(
        pool.Start(0, "/bin/sh", {"-c", "exec grep -E '^Sig(Blk|Ign)' /proc/self/status"}, error))
        << error;
    ASSERT_TRUE(pool.Start(1, "/bin/sh", {"-c", "exec sleep 30"}, error)) << error;
    PollUntilEnded(pool, seen, 0);
    signal(SIGPIPE, oldPipe);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    // Signals 1 to 31 (bits 0 to 30); the C library's own real-time ones are its business.
    ASSERT_EQ(seen.out[0].size(), 2u);
    for (const std::string& line : seen.out[0]) {
        EXPECT_EQ(std::stoull(line.substr(line.find('\t') + 1), nullptr, 16) & 0x7fffffffu, 0u)
            << line;
    }
    EXPECT_EQ(pool.Running(), 1u) << "the sleeping worker is still running";
    pool.KillAll();
    PollUntilEnded(pool, seen, 1);
    ASSERT_EQ(seen.ended.count(1), 1u);
    EXPECT_TRUE(WIFSIGNALED(seen.ended[1]));
}

TEST(StationWorkers, AStalledWorkerHoldsUpNoOtherAndLongLinesAreCut) {
    CWorkerPool pool;
    Collected seen;
    std::string error;
    // The stalled one writes half a line and then nothing.
    ASSERT_TRUE(pool.Start(0, "/bin/sh", {"-c", "printf 'half a line'; exec sleep 30"}, error));
    ASSERT_TRUE(pool.Start(1, "/bin/sh",
                           {"-c",
                            "head -c 20000 /dev/zero | tr '\\0' x; echo; echo done >&2; "
                            "exit 3"},
                           error));
    PollUntilEnded(pool, seen, 1);
    ASSERT_EQ(seen.ended.count(1), 1u);
    EXPECT_EQ(WEXITSTATUS(seen.ended[1]), 3);
    ASSERT_EQ(seen.out[1].size(), 1u);
    EXPECT_EQ(seen.out[1][0], std::string(kMaxWorkerLineBytes, 'x'));
    EXPECT_EQ(seen.err[1], std::vector<std::string>{"done"});
    EXPECT_TRUE(seen.out[0].empty());
    EXPECT_EQ(seen.ended.count(0), 0u);

    pool.KillAll();
    PollUntilEnded(pool, seen, 0);
    EXPECT_EQ(seen.out[0], std::vector<std::string>{"half a line"}) << "handed on at its end";
}

TEST(StationWorkers, ArgumentsFollowTheStationsOptions) {
    FlashOptions options;
    options.image = "fw.bin";
    EXPECT_EQ(WorkerArguments(options, "/dev/ttyUSB0", "/logs/a.txt"),
              (std::vector<std::string>{"flash", "--port", "/dev/ttyUSB0", "--json", "--log",
                                        "/logs/a.txt", "fw.bin"}));
    options.policy = AnswerPolicy::AlwaysNo;
    options.timeoutSeconds = 90.5;
    options.verify = VerifyMode::Off;
    EXPECT_EQ(WorkerArguments(options, "GPS1:", ""),
              (std::vector<std::string>{"flash", "--port", "GPS1:", "--json", "--no", "--timeout",
                                        "90.5", "--no-verify", "fw.bin"}));
    options.verify = VerifyMode::Full;
    EXPECT_EQ(WorkerArguments(options, "GPS1:", "").at(7), "--verify=full");
}

UnitState Programming() {
    UnitState unit;
    unit.port = "/dev/ttyUSB3";
    unit.label = "ttyUSB3";
    unit.phase = "program";
    unit.done = 30720;
    unit.total = 40960;
    unit.bytesPerSecond = 2048;
    return unit;
}

TEST(StationUnitLines, LiveLineVerdictTableAndUnitJson) {
    UnitState unit = Programming();
    EXPECT_EQ(LiveUnitLine(unit), "ttyUSB3  program   75 %  2.0 kB/s  0:05 left");
    unit.passes = 2;
    EXPECT_EQ(LiveUnitLine(unit), "ttyUSB3  program   75 %  2.0 kB/s  0:05 left  pass 2");

    unit.finished = true;
    unit.exitCode = 1;
    unit.resultText = "Upload failed";
    unit.lastText = "Flash erase failure.\x1b[2J";
    EXPECT_EQ(LiveUnitLine(unit), "ttyUSB3  failed (1): Upload failed - Flash erase failure. [2J");
    unit.fwBefore.version = "GQ07";
    unit.seconds = 75;

    UnitState good = Programming();
    good.port = "/dev/ttyUSB10";
    good.finished = true;
    good.resultText = "Upload complete";
    good.fwAfter.version = "GQ08";
    good.passes = 1;
    unit.receiverState = "incomplete";
    good.receiverState = "verified";
    unit.line = LineFigures{80, 1, 1536, 0.00031};  // in the report and JSON, not the table
    EXPECT_EQ(SummaryTable({unit, good}),
              "Port           Result             Receiver    FW before  FW after  Time  Passes\n"
              "/dev/ttyUSB3   Upload failed (1)  incomplete  GQ07       -         1:15  2\n"
              "/dev/ttyUSB10  Upload complete    verified    -          GQ08      0:00  1\n");

    std::map<std::string, std::string> fields;
    ASSERT_TRUE(test::ParseJsonLine(UnitJson(unit), fields)) << UnitJson(unit);
    EXPECT_EQ(fields["kind"], "unit");
    EXPECT_EQ(fields["port"], "/dev/ttyUSB3");
    EXPECT_EQ(fields["code"], "1");
    EXPECT_EQ(fields["passes"], "2");
    EXPECT_EQ(fields["fw_before"], "GQ07");
    EXPECT_EQ(fields["frames_sent"], "80");
    EXPECT_EQ(fields["frames_refused"], "1");
    EXPECT_EQ(fields["mean_frame_bytes"], "1536");
    EXPECT_EQ(fields["undetected_chance"], "0.00031");
    good.line.reset();
    ASSERT_TRUE(test::ParseJsonLine(UnitJson(good), fields)) << UnitJson(good);
    EXPECT_EQ(fields.count("frames_sent"), 0u) << UnitJson(good);
    ASSERT_TRUE(test::ParseJsonLine(SummaryJson({unit, good}, 1), fields));
    EXPECT_EQ(fields["units"], "2");
    EXPECT_EQ(fields["succeeded"], "1");
    EXPECT_EQ(fields["failed"], "1");
    EXPECT_EQ(fields["code"], "1");
}

// A failed unit's line says why once: added when its result does not say it, not twice
// when it does, and the unit's last word when the result is all there is.
TEST(StationUnitLines, AFailedUnitsLineGivesItsReasonOnce) {
    UnitState unit = Programming();
    unit.finished = true;
    unit.lastText = "FLASH upload failed.";
    unit.exitCode = 5;
    unit.resultText = "Verification failed";
    unit.reason = "Verify: FW end word 0x10014001 in the receiver, 0x10014000 in the image";
    EXPECT_EQ(UnitVerdict(unit),
              "failed (5): Verification failed - Verify: FW end word 0x10014001 in the "
              "receiver, 0x10014000 in the image");

    unit.exitCode = 1;
    unit.reason = "Serial device lost: the line hung up";
    unit.resultText = "Upload failed: " + unit.reason;
    EXPECT_EQ(LiveUnitLine(unit),
              "ttyUSB3  failed (1): Upload failed: Serial device lost: the "
              "line hung up");
    unit.exitCode = 6;
    unit.reason = "the line refused 1 of 80 frames";
    unit.resultText = "Not vouched for: " + unit.reason;
    EXPECT_EQ(UnitVerdict(unit), "failed (6): Not vouched for: the line refused 1 of 80 frames");

    unit.exitCode = 4;
    unit.resultText = unit.reason = "Cannot connect to GPS.";
    unit.note = "no answer at any speed";
    EXPECT_EQ(UnitVerdict(unit), "failed (4): Cannot connect to GPS. - no answer at any speed");
}

}  // namespace
}  // namespace zelvar::cli
