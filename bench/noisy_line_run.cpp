#include "bench/noisy_line_run.h"

#include <algorithm>
#include <cstdio>

#include "cli/exit_codes.h"
#include "sim/sim_receiver.h"
#include "support/test_env.h"
#include "support/zelvar_runner.h"

namespace zelvar::bench {
namespace {

constexpr double kProcessMarginSeconds = 60;  // beyond --timeout before the run is killed

int CountLinesStarting(const std::string& log, const std::string& prefix) {
    int count = 0;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        if (log.compare(start, prefix.size(), prefix) == 0) ++count;
        start = end + 1;
    }
    return count;
}

void CompareFlash(const std::vector<uint8_t>& flash, const std::vector<uint8_t>& part,
                  NoisyRunResult& result) {
    result.flashHolds = !part.empty() && flash.size() >= part.size() &&
                        std::equal(part.begin(), part.end(), flash.begin());
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (i < flash.size() && flash[i] == part[i]) continue;
        if (result.wrongBytes++ == 0) result.firstWrong = i;
    }
}

// The last "The line refused R of N frames (mean M data bytes)..." line of the log, with
// its "about 1 in K" when it has one.
void ReadLineFigures(const std::string& log, NoisyRunResult& result) {
    const std::size_t at = log.rfind("The line refused ");
    if (at == std::string::npos) return;
    unsigned refused = 0, sent = 0;
    double mean = 0, k = 0;
    const char* line = log.c_str() + at;
    if (std::sscanf(line, "The line refused %u of %u frames (mean %lf", &refused, &sent, &mean) !=
        3)
        return;
    result.meanFrameBytes = mean;
    const std::size_t about = log.find("(about 1 in ", at);
    const std::size_t end = log.find('\n', at);
    if (about != std::string::npos && about < end &&
        std::sscanf(log.c_str() + about, "(about 1 in %lf", &k) == 1 && k > 0) {
        result.undetectedChance = 1 / k;
    }
}

}  // namespace

RunVerdict NoisyRunResult::Verdict() const {
    if (exitCode == cli::kExitSuccess) return RunVerdict::Verified;
    if (exitCode == cli::kExitNotVouched) return RunVerdict::NotVouched;
    return RunVerdict::Failed;
}

NoisyRunResult RunNoisyFlash(const NoisyRunSetup& setup) {
    NoisyRunResult result;
    sim::SimOptions options;
    options.pace = true;
    options.flashIn = setup.factoryPath;
    options.seed = setup.seed;
    options.faults.bitErrorRateIn = setup.bitErrorRate;
    options.faults.bitErrorRateOut = setup.bitErrorRate;
    sim::CSimReceiver receiver(options);
    std::string error;
    if (!receiver.Start(error)) return result;

    const std::string logPath = setup.workDir + "/log.txt";
    test::ZelvarOptions process;
    process.program = setup.program;
    process.args = {"flash",
                    "--port",
                    receiver.SlavePath(),
                    "--log",
                    logPath,
                    "--timeout",
                    std::to_string(static_cast<int>(setup.timeoutSeconds)),
                    setup.imagePath};
    process.runtimeDir = setup.workDir;
    process.limitSeconds = setup.timeoutSeconds + kProcessMarginSeconds;
    const test::ZelvarRun run = test::RunZelvarWith(process);
    const double endedMs = receiver.NowMs();
    receiver.Stop();

    const std::string log = test::ReadFile(logPath);
    result.started = true;
    result.exitCode = run.exitCode;
    result.seconds = run.seconds;
    CompareFlash(receiver.Flash(), setup.programmed, result);
    result.rewrites = CountLinesStarting(log, "Writing the record again");
    result.passes = CountLinesStarting(log, "Uploading SFLD...");
    result.lineErrors = receiver.LineErrors();
    ReadLineFigures(log, result);
    result.longestQuietMs = sim::LongestQuietMs(receiver.Trace(), endedMs);
    return result;
}

}  // namespace zelvar::bench
