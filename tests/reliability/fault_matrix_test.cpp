// The fault matrix: every phase of a whole `zelvar flash` run against every fault the
// simulated receiver can show there. Each scenario runs the built binary against its own
// simulated receiver on its own pty; scenarios run side by side on threads. A run either
// succeeds with the receiver's flash holding the image, or fails with a non-zero exit
// and its reason in the log; a success with a wrong flash is the one thing never allowed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reliability_doc.h"
#include "support/image_recipes.h"
#include "support/sim_start.h"
#include "support/test_env.h"
#include "support/zelvar_runner.h"
#include "upload/upload_timing.h"

namespace zelvar::test {
namespace {

constexpr int kDefaultWorkers = 8;
constexpr double kRunTimeoutSeconds = 40;     // --timeout of a run that should end by itself
constexpr double kSilentTimeoutSeconds = 12;  // --timeout where the receiver stays silent
// --timeout of a run that recovers only through a new pass after the loader's silence
// limits (a lost end-frame answer: re-asks, recovery, a silent dialogue, a new boot).
constexpr double kRecoveryTimeoutSeconds = 90;
constexpr double kLimitMarginSeconds = 30;  // the test's own limit beyond --timeout
constexpr int kShortSilenceMs = 500;
constexpr int kLongSilenceMs = 2500;
constexpr int kTolerableStorm = 50;  // REC_WAIT bytes the loader waits through
constexpr int kRewriteStorm = 201;   // one more than tolerated: the frame is written again
constexpr int kNoiseMs = 20;         // NMEA-like sentences in normal operation
// Bit errors per bit while a loader runs. Light enough that a frame the receiver's check
// word cannot tell from the sent one (two flips in one bit lane) stays out of reach of a
// few runs; the benchmark measures the rates beyond.
constexpr double kLightBitErrors = 3e-6;
constexpr double kAnswerBitErrors = 3e-3;  // on the receiver's answers only
constexpr double kHopelessBitErrors = 1e-3;
// --timeout of a run that must use up the loader's whole passes on a hopeless line.
constexpr double kPassesTimeoutSeconds = 240;
// Longest silence of any wait of the loader (the erase's), and what a loaded machine adds.
constexpr double kLongestWaitMs = kEraseSilenceMs;
constexpr double kWaitMarginMs = 5000;

// Where the phases of a clean run lie, in bytes the receiver received and frames.
struct Calibration {
    uint64_t portQuery = 0;    // the port query sentence is complete
    uint64_t bootRequest = 0;  // the boot request is complete
    uint64_t firstFrame = 0;   // the first byte of the first SFLD frame
    uint64_t sfldStarted = 0;  // the SFLD's end frame is complete
    uint64_t rangeFrame = 0;   // the erase's range frame is complete
    uint64_t lastFrame = 0;    // the image's end frame is complete
    int sfldFrames = 0;        // frames of the SFLD upload, its end frame included
    int rangeFrameNumber = 0;
    int lastFrameNumber = 0;
};

struct Scenario {
    std::string phase;
    std::string fault;
    sim::SimOptions options;  // faults and line of the receiver
    double timeout = kRunTimeoutSeconds;
    int expectExit = 0;
    std::string expectLine;   // a line the log must hold ("Upload complete", "Upload failed")
    std::string reason;       // the start of a log line that says why, when it is known
    bool raceMayWin = false;  // a verified success is as good: a race decides between them
};

struct Outcome {
    ZelvarRun run;
    std::vector<std::string> log;
    bool flashHolds = false;
    double longestQuietMs = 0;  // longest time without a byte on the line, run end included
};

std::vector<std::string> LogLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HoldsPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

// Images shared by every scenario: the receiver's factory flash and the new firmware.
struct Images {
    TempDir dir;
    std::vector<uint8_t> fresh = MakeTestImage(2);
    std::string factoryPath = dir.File("factory.bin");
    std::string freshPath = dir.File("new.bin");
    Images() {
        WriteBytes(factoryPath, MakeTestImage(1));
        WriteBytes(freshPath, fresh);
    }
};

Outcome RunScenario(const Images& images, const Scenario& scenario, const std::string& name) {
    Outcome outcome;
    TempDir runDir;
    auto receiver = StartSim(scenario.options, images.factoryPath);
    if (!receiver) return outcome;
    char timeout[32];
    std::snprintf(timeout, sizeof timeout, "%g", scenario.timeout);
    ZelvarOptions process;
    // The faults are the upload's: the check after it is left out.
    process.args = {
        "flash",     "--port", receiver->SlavePath(), "--log",         runDir.File("log.txt"),
        "--timeout", timeout,  "--no-verify",         images.freshPath};
    process.runtimeDir = runDir.Path();
    process.limitSeconds = scenario.timeout + kLimitMarginSeconds;
    outcome.run = RunZelvarWith(process);
    const double endedMs = receiver->NowMs();
    receiver->Stop();
    outcome.longestQuietMs = sim::LongestQuietMs(receiver->Trace(), endedMs);
    outcome.flashHolds = FlashHolds(receiver->Flash(), images.fresh);
    outcome.log = LogLines(ReadFile(runDir.File("log.txt")));
    (void)name;
    return outcome;
}

uint64_t ReceivedUntil(const std::vector<sim::TraceEntry>& trace, const std::string& prefix,
                       int* count = nullptr) {
    uint64_t received = 0;
    int seen = 0;
    uint64_t at = 0;
    for (const sim::TraceEntry& e : trace) {
        if (e.kind == sim::TraceKind::Received) ++received;
        if (e.kind == sim::TraceKind::Event && e.text.rfind(prefix, 0) == 0) {
            at = received;
            if (++seen == 1 && count == nullptr) return at;
        }
    }
    if (count != nullptr) *count = seen;
    return at;
}

// The frame number of the last "frame N:" event at or before received byte `limit`.
int FrameNumberAt(const std::vector<sim::TraceEntry>& trace, uint64_t limit) {
    uint64_t received = 0;
    int number = 0;
    for (const sim::TraceEntry& e : trace) {
        if (e.kind == sim::TraceKind::Received) ++received;
        if (received > limit) break;
        if (e.kind == sim::TraceKind::Event && e.text.rfind("frame ", 0) == 0) {
            number = std::atoi(e.text.c_str() + 6);
        }
    }
    return number;
}

// A clean run, traced, tells where each phase lies for this build of the loader.
bool Calibrate(const Images& images, Calibration& c) {
    TempDir runDir;
    auto receiver = StartSim({}, images.factoryPath);
    if (!receiver) return false;
    ZelvarOptions process;
    process.args = {
        "flash",       "--port",        receiver->SlavePath(), "--log", runDir.File("log.txt"),
        "--no-verify", images.freshPath};
    process.runtimeDir = runDir.Path();
    process.limitSeconds = kRunTimeoutSeconds;
    const ZelvarRun run = RunZelvarWith(process);
    receiver->Stop();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::vector<sim::TraceEntry> trace = receiver->Trace();
    c.portQuery = ReceivedUntil(trace, "sentence $PQRXQ,PRT");
    c.bootRequest = ReceivedUntil(trace, "boot request");
    uint64_t received = 0;
    for (const sim::TraceEntry& e : trace) {
        if (e.kind != sim::TraceKind::Received) continue;
        ++received;
        if (received > c.bootRequest && e.meant == '[') {
            c.firstFrame = received;
            break;
        }
    }
    c.sfldStarted = ReceivedUntil(trace, "SFLD started");
    c.sfldFrames = FrameNumberAt(trace, c.sfldStarted);
    c.rangeFrame = ReceivedUntil(trace, "erased ");
    c.rangeFrameNumber = FrameNumberAt(trace, c.rangeFrame);
    c.lastFrame = ReceivedUntil(trace, "programmed");
    c.lastFrameNumber = FrameNumberAt(trace, c.lastFrame);
    return run.exitCode == 0 && c.portQuery > 4 && c.bootRequest > c.portQuery &&
           c.firstFrame > c.bootRequest + 2 && c.sfldStarted > c.firstFrame &&
           c.rangeFrame > c.sfldStarted + 2 && c.lastFrame > c.rangeFrame && c.sfldFrames >= 2 &&
           c.rangeFrameNumber == c.sfldFrames + 1 && c.lastFrameNumber > c.rangeFrameNumber + 2;
}

class ScenarioList {
  public:
    explicit ScenarioList(const Calibration& c) : m_c(c) {}
    const Calibration& C() const { return m_c; }
    // A scenario that ends by itself: exit 0 with "Upload complete", or the exit and
    // reason given.
    sim::SimFaults& Add(const std::string& phase, const std::string& fault, int exit,
                        const std::string& line, double timeout = kRunTimeoutSeconds) {
        Scenario s;
        s.phase = phase;
        s.fault = fault;
        s.expectExit = exit;
        s.expectLine = line;
        s.timeout = timeout;
        m_list.push_back(s);
        return m_list.back().options.faults;
    }
    sim::SimOptions& LastOptions() { return m_list.back().options; }
    void Reason(const std::string& prefix) { m_list.back().reason = prefix; }
    void RaceMayWin() { m_list.back().raceMayWin = true; }
    std::vector<Scenario> Take() { return std::move(m_list); }

  private:
    const Calibration& m_c;
    std::vector<Scenario> m_list;
};

constexpr const char* kComplete = "Upload complete";
constexpr const char* kFailed = "Upload failed";
constexpr const char* kLost = "Serial device lost";
constexpr const char* kTimeLimitNote = "time limit of";

// Silence (for a while and for good) and vanishing after `byte` received bytes.
void AddLineFaults(ScenarioList& l, const std::string& phase, uint64_t byte, int whileExit,
                   const std::string& whileLine, int goodExit, const std::string& goodLine,
                   int vanishExit, const std::string& vanishLine) {
    sim::SimFaults& a = l.Add(phase, "silence for 2.5 s", whileExit, whileLine,
                              whileExit == 0 ? kRunTimeoutSeconds : kSilentTimeoutSeconds);
    a.silenceAfterBytes = byte;
    a.silenceMs = kLongSilenceMs;
    sim::SimFaults& b = l.Add(phase, "silence for good", goodExit, goodLine, kSilentTimeoutSeconds);
    b.silenceAfterBytes = byte;
    l.Add(phase, "vanishes (device closed)", vanishExit, vanishLine).vanishAfterBytes = byte;
    l.Reason(kLost);
}

// Frame faults of the record exchange on frame n. A lost answer is asked for again
// after the loader's silence limit, so the run recovers once the receiver speaks again;
// stormRewrites: the frame written again after 201
// REC_WAIT bytes is accepted. Otherwise the run succeeds only when the answer right
// after the storm is read before the loader's purge throws it away.
// Frame n's ACK spoilt on the way, the handshake that arms it not heard, and the byte
// `inside` of it lost: the loader mends each, at worst with a new pass.
void AddLineNoise(ScenarioList& l, const std::string& phase, int n, uint64_t inside) {
    l.Add(phase, "ACK spoilt by a bit error", 0, kComplete, kRecoveryTimeoutSeconds)
        .corruptAckFrame = n;
    l.Add(phase, "handshake not heard", 0, kComplete, kRecoveryTimeoutSeconds).missHandshakeFrame =
        n;
    l.Add(phase, "a byte of the frame lost", 0, kComplete, kRecoveryTimeoutSeconds).dropByteIn =
        inside;
}

void AddFrameFaults(ScenarioList& l, const std::string& phase, int n, bool stormRewrites = true) {
    l.Add(phase, "BAD_CSUM answer", 0, kComplete).badCsumFrame = n;
    sim::SimFaults& a = l.Add(phase, "50 REC_WAIT before the answer", 0, kComplete);
    a.stormFrame = n;
    a.stormCount = kTolerableStorm;
    sim::SimFaults& b = stormRewrites ? l.Add(phase, "201 REC_WAIT before the answer", 0, kComplete)
                                      : l.Add(phase, "201 REC_WAIT before the answer", 1, kFailed,
                                              kSilentTimeoutSeconds);
    b.stormFrame = n;
    b.stormCount = kRewriteStorm;
    if (!stormRewrites) l.RaceMayWin();
    sim::SimFaults& c =
        l.Add(phase, "answer lost, silence for 2.5 s", 0, kComplete, kRecoveryTimeoutSeconds);
    c.silenceAfterFrame = n;
    c.silenceMs = kLongSilenceMs;
    l.Add(phase, "answer lost, silence for good", 1, kFailed, kSilentTimeoutSeconds)
        .silenceAfterFrame = n;
}

std::vector<Scenario> BuildScenarios(const Calibration& c) {
    ScenarioList l(c);
    const std::string probe = "connect probe";
    sim::SimFaults& s1 = l.Add(probe, "silence for 0.5 s", 0, kComplete);
    s1.silenceAfterBytes = 2;
    s1.silenceMs = kShortSilenceMs;
    l.Add(probe, "silence for good", 4, "Cannot connect to GPS.", kSilentTimeoutSeconds)
        .silenceAfterBytes = 2;
    l.Add(probe, "vanishes (device closed)", 4, "Cannot connect to GPS.").vanishAfterBytes = 2;
    l.Reason(kLost);
    l.Add(probe, "junk: NMEA sentences every 20 ms", 0, kComplete);
    l.LastOptions().noisePeriodMs = kNoiseMs;
    l.Add(probe, "speed: receiver at 9600", 0, kComplete);
    l.LastOptions().normalSpeed = 9600;
    l.Add(probe, "speed: receiver at 115200", 0, kComplete);
    l.LastOptions().normalSpeed = 115200;
    l.Add(probe, "speed: answers only at 19200", 4, "Cannot connect to GPS.").answerOnlyAtSpeed =
        19200;

    AddLineFaults(l, "memory reads", (c.portQuery + c.bootRequest) / 2, 0, kComplete, 4,
                  "Cannot connect to GPS.", 4, "Cannot connect to GPS.");
    // A boot request lost in the silence is sent again once the dialogue stays silent.
    AddLineFaults(l, "boot request", c.bootRequest - 3, 0, kComplete, 1, kFailed, 1, kFailed);
    l.Add("boot request", "speed: answers only at 4800", 1, kFailed, kSilentTimeoutSeconds)
        .answerOnlyAtSpeed = 4800;
    AddLineFaults(l, "PFLD dialogue", (c.bootRequest + c.firstFrame) / 2, 0, kComplete, 1, kFailed,
                  1, kFailed);

    const std::string sfld = "SFLD upload";
    AddFrameFaults(l, sfld, 1);
    AddLineNoise(l, sfld, 2, c.firstFrame + 1000);
    AddLineNoise(l, "SFLD end frame", c.sfldFrames, c.sfldStarted - 2);
    l.Add(sfld, "vanishes (device closed)", 1, kFailed).vanishAfterBytes = c.firstFrame + 1000;
    l.Reason(kLost);

    const std::string ident = "SFLD identification";
    AddLineFaults(l, ident, c.sfldStarted + 5, 0, kComplete, 1, kFailed, 1, kFailed);
    l.Add(ident, "speed: answers only at 19200", 1, kFailed, kSilentTimeoutSeconds)
        .answerOnlyAtSpeed = 19200;
    l.LastOptions().startInPfld = true;

    const std::string erase = "erase";
    AddFrameFaults(l, erase, c.rangeFrameNumber);
    AddLineNoise(l, erase, c.rangeFrameNumber, c.rangeFrame - 4);
    l.Add(erase, "ERASE_FAILED (0x84) after 2 sectors", 0, kComplete).eraseFailAfter = 2;
    l.Add(erase, "unknown byte 0x42 after 2 sectors", 0, kComplete).eraseUnknownAfter = 2;
    l.Add(erase, "vanishes (device closed)", 1, kFailed).vanishAfterBytes = c.rangeFrame;
    l.Reason(kLost);

    const std::string program = "programming";
    AddFrameFaults(l, program, c.rangeFrameNumber + 3);
    AddLineNoise(l, program, c.rangeFrameNumber + 3, (c.rangeFrame + c.lastFrame) / 2);
    l.Add(program, "vanishes (device closed)", 1, kFailed).vanishAfterBytes =
        (c.rangeFrame + c.lastFrame) / 2;
    l.Reason(kLost);

    const std::string end = "end frame";
    // The receiver has programmed and left its loader when its storm before the end
    // frame's answer ends; the end frame written again is never answered.
    AddFrameFaults(l, end, c.lastFrameNumber, false);
    AddLineNoise(l, end, c.lastFrameNumber, c.lastFrame - 2);
    l.Add(end, "vanishes (device closed)", 1, kFailed).vanishAfterBytes = c.lastFrame - 1;
    l.Reason(kLost);

    // Bit errors all through the loaders' dialogue, frames and answers.
    const std::string whole = "every loader phase";
    for (const uint32_t seed : {1u, 2u}) {
        sim::SimFaults& f =
            l.Add(whole, "bit errors both ways, rate 3e-6, seed " + std::to_string(seed), 0,
                  kComplete, kRecoveryTimeoutSeconds);
        f.bitErrorRateIn = f.bitErrorRateOut = kLightBitErrors;
        l.LastOptions().seed = seed;
    }
    l.Add(whole, "bit errors on the answers, rate 3e-3", 0, kComplete, kRecoveryTimeoutSeconds)
        .bitErrorRateOut = kAnswerBitErrors;
    sim::SimFaults& h =
        l.Add(whole, "bit errors both ways, rate 1e-3", 1, kFailed, kPassesTimeoutSeconds);
    h.bitErrorRateIn = h.bitErrorRateOut = kHopelessBitErrors;
    l.Reason("Upload stopped after " + std::to_string(kFailedPassesAllowed) + " failed passes");
    return l.Take();
}

int WorkerCount() {
    const char* text = std::getenv("ZELVAR_MATRIX_WORKERS");
    const int n = text != nullptr ? std::atoi(text) : kDefaultWorkers;
    return n > 0 ? n : kDefaultWorkers;
}

std::vector<Outcome> RunAll(const Images& images, const std::vector<Scenario>& scenarios) {
    std::vector<Outcome> outcomes(scenarios.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < WorkerCount(); ++w) {
        workers.emplace_back([&] {
            for (std::size_t i; (i = next.fetch_add(1)) < scenarios.size();) {
                outcomes[i] = RunScenario(images, scenarios[i], scenarios[i].phase);
            }
        });
    }
    for (std::thread& t : workers) t.join();
    return outcomes;
}

std::string Describe(const Scenario& s, const Outcome& o) {
    std::string text = s.phase + " / " + s.fault + ": exit " + std::to_string(o.run.exitCode) +
                       " after " + std::to_string(o.run.seconds) + " s, flash " +
                       (o.flashHolds ? "holds the image" : "differs") + ", line quiet for up to " +
                       std::to_string(o.longestQuietMs) + " ms\n  log tail:";
    const std::size_t from = o.log.size() > 8 ? o.log.size() - 8 : 0;
    for (std::size_t i = from; i < o.log.size(); ++i) text += "\n    " + o.log[i];
    return text + "\n  stderr: " + o.run.err;
}

bool EndedByTimeLimit(const Scenario& s) {
    return s.expectExit == 1 && s.timeout == kSilentTimeoutSeconds;
}

std::string OutcomeText(const Scenario& s) {
    if (s.expectExit == 0) return "exit 0, \"Upload complete\", flash verified";
    std::string text = "exit " + std::to_string(s.expectExit) + ", \"" + s.expectLine + "\"";
    if (!s.reason.empty()) text += " after \"" + s.reason + ": ...\"";
    if (EndedByTimeLimit(s)) text += ", ended by --timeout";
    if (s.raceMayWin) text += "; or exit 0 with flash verified when the answer outruns the purge";
    return text;
}

bool FailureReported(const Outcome& o) {
    const int exit = o.run.exitCode;
    return exit > 0 && !Holds(o.log, kComplete) && (exit == 4 || Holds(o.log, kFailed));
}

// A verified success or a reported failure: never a success with a wrong flash.
bool Sound(const Outcome& o) {
    return o.run.exitCode == 0 ? o.flashHolds && Holds(o.log, kComplete) : FailureReported(o);
}

// The run ended as the scenario expects, with its reason where one is known.
bool AsExpected(const Scenario& s, const Outcome& o) {
    const bool failureReported = FailureReported(o);
    const int exit = o.run.exitCode;
    if (s.raceMayWin && exit == 0) return o.flashHolds && Holds(o.log, kComplete);
    if (exit != s.expectExit || !Holds(o.log, s.expectLine)) return false;
    if (exit == 0) return o.flashHolds;
    if (!s.reason.empty() && !HoldsPrefix(o.log, s.reason)) return false;
    if (EndedByTimeLimit(s) && o.run.err.find(kTimeLimitNote) == std::string::npos) return false;
    return failureReported;
}

TEST(FaultMatrix, EveryFaultEndsInAVerifiedSuccessOrAReportedFailure) {
    Images images;
    Calibration c;
    ASSERT_TRUE(Calibrate(images, c)) << "a clean run did not show every phase";
    const std::vector<Scenario> scenarios = BuildScenarios(c);
    const std::vector<Outcome> outcomes = RunAll(images, scenarios);

    int verified = 0, reported = 0, wrongFlash = 0, unexpected = 0, rerun = 0;
    double longestQuietMs = 0;
    std::vector<TableRow> rows;
    for (std::size_t i = 0; i < scenarios.size(); ++i) {
        const Scenario& s = scenarios[i];
        Outcome o = outcomes[i];
        // On a loaded machine a silence that should end in time can end late. Whatever
        // happened must be sound; a run that ended otherwise than expected is run again
        // alone, once, and the second run must end as expected.
        if (o.run.exitCode == 0 && !o.flashHolds) ++wrongFlash;
        EXPECT_TRUE(Sound(o)) << "SUCCESS WITH WRONG FLASH OR UNREPORTED FAILURE: "
                              << Describe(s, o);
        if (!AsExpected(s, o)) {
            std::printf("running again: %s\n", Describe(s, o).c_str());
            ++rerun;
            o = RunScenario(images, s, s.phase);
            if (o.run.exitCode == 0 && !o.flashHolds) ++wrongFlash;
        }
        const int exit = o.run.exitCode;
        if (exit == 0 && o.flashHolds && Holds(o.log, kComplete)) ++verified;
        if (FailureReported(o)) ++reported;
        const bool asExpected = AsExpected(s, o);
        if (!asExpected) ++unexpected;
        EXPECT_TRUE(asExpected) << "expected " << OutcomeText(s) << "\n" << Describe(s, o);
        EXPECT_TRUE(Sound(o)) << "SUCCESS WITH WRONG FLASH OR UNREPORTED FAILURE: "
                              << Describe(s, o);
        // No wait of the loader outlasts its limit: something goes over the line in time.
        EXPECT_LE(o.longestQuietMs, kLongestWaitMs + kWaitMarginMs) << Describe(s, o);
        longestQuietMs = std::max(longestQuietMs, o.longestQuietMs);
        rows.push_back({s.phase, s.fault, OutcomeText(s)});
    }
    std::printf(
        "fault matrix: %zu scenarios run, %d successes with flash verified, %d failures "
        "reported as failures, %d successes with wrong flash, %d not as expected (%d run "
        "twice); the line was never quiet for longer than %.0f ms\n",
        scenarios.size(), verified, reported, wrongFlash, unexpected, rerun, longestQuietMs);
    EXPECT_EQ(wrongFlash, 0);
    EXPECT_EQ(verified + reported, static_cast<int>(scenarios.size()));
    const std::string diff =
        CheckDocSection("fault-matrix", MarkdownTable({"Phase", "Fault", "Outcome"}, rows));
    EXPECT_TRUE(diff.empty()) << diff;
}

}  // namespace
}  // namespace zelvar::test
