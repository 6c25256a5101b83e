// Flashes 1, 4, 8 and 16 simulated receivers at once with one `zelvar flash --port ...`
// station run each, every receiver paced at the real line rate, and prints per run the
// mean and the longest per-unit time over the single unit's time measured in the same
// run, and the CPU seconds the station and its workers spent per unit.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "sim/sim_receiver.h"
#include "support/test_env.h"
#include "support/zelvar_runner.h"

namespace zelvar::bench {
namespace {

constexpr int kUnitCounts[] = {1, 4, 8, 16};
constexpr std::size_t kFwBytes = 0x10000 - 4;  // 64 KiB with the FW check word
constexpr uint32_t kFactoryFwSeed = 4;
constexpr uint32_t kNewFwSeed = 2;
constexpr double kTargetRatio = 1.05;  // at the largest count
constexpr double kRunLimitSeconds = 900;

struct UnitTimes {
    std::vector<double> seconds;  // per unit that reported a verdict
    int failed = 0;               // units whose verdict was not success
};

// The number after `"name":` in a JSON line, or -1.
double NumberField(const std::string& line, const char* name) {
    const std::string key = std::string("\"") + name + "\":";
    const std::size_t at = line.find(key);
    if (at == std::string::npos) return -1;
    return std::strtod(line.c_str() + at + key.size(), nullptr);
}

// Each worker's verdict line: its time since the unit's start and its code.
UnitTimes VerdictTimes(const std::vector<std::string>& lines) {
    UnitTimes times;
    for (const std::string& line : lines) {
        if (line.rfind("{\"kind\":\"result\",", 0) != 0 || line.find("\"port\":") == line.npos) {
            continue;
        }
        times.seconds.push_back(NumberField(line, "t"));
        if (NumberField(line, "code") != 0) ++times.failed;
    }
    return times;
}

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct StationRun {
    bool ran = false;
    UnitTimes units;
    double wallSeconds = 0;
    double cpuSeconds = 0;  // the station and its workers
};

StationRun RunStation(const std::string& dir, const std::string& factory, const std::string& image,
                      int count) {
    StationRun result;
    std::vector<std::unique_ptr<sim::CSimReceiver>> receivers;
    test::ZelvarOptions process;
    process.args = {"flash", "--yes", "--json", "--log-dir", dir + "logs-" + std::to_string(count)};
    for (int i = 0; i < count; ++i) {
        sim::SimOptions options;
        options.pace = true;
        options.flashIn = factory;
        auto receiver = std::make_unique<sim::CSimReceiver>(options);
        std::string error;
        if (!receiver->Start(error)) {
            std::fprintf(stderr, "receiver %d: %s\n", i, error.c_str());
            return result;
        }
        process.args.push_back("--port");
        process.args.push_back(receiver->SlavePath());
        receivers.push_back(std::move(receiver));
    }
    process.args.push_back(image);
    process.runtimeDir = dir;
    process.limitSeconds = kRunLimitSeconds;
    const double cpuBefore = ChildCpuSeconds();
    const test::ZelvarRun run = test::RunZelvarWith(process);
    result.cpuSeconds = ChildCpuSeconds() - cpuBefore;
    for (auto& receiver : receivers) receiver->Stop();
    result.ran = !run.overLimit;
    result.wallSeconds = run.seconds;
    result.units = VerdictTimes(run.OutLines());
    return result;
}

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (const double v : values) sum += v;
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

double Longest(const std::vector<double>& values) {
    double longest = 0;
    for (const double v : values) longest = v > longest ? v : longest;
    return longest;
}

bool MakeImages(const std::string& dir, std::string& factory, std::string& image) {
    factory = dir + "factory.bin";
    image = dir + "new.bin";
    return test::WriteBytes(factory, test::ImageOf(BenchImage(kFactoryFwSeed, kFwBytes))) &&
           test::WriteBytes(image, test::ImageOf(BenchImage(kNewFwSeed, kFwBytes)));
}

int Run() {
    const std::string dir = MakeWorkDirectory("station");
    std::string factory, image;
    if (dir.empty() || !MakeImages(dir, factory, image)) {
        std::fprintf(stderr, "cannot write the images\n");
        return 2;
    }
    std::printf("64 KiB firmware, receivers paced at the line rate, verification on\n");
    std::printf("%6s %12s %12s %12s %12s %10s\n", "units", "unit mean s", "mean/single",
                "longest/sgl", "wall s", "CPU s/unit");
    double single = 0;
    bool ok = true;
    double lastRatio = 0;
    for (const int count : kUnitCounts) {
        const StationRun run = RunStation(dir, factory, image, count);
        const bool complete =
            run.ran && static_cast<int>(run.units.seconds.size()) == count && run.units.failed == 0;
        const double mean = Mean(run.units.seconds);
        if (count == 1) single = mean;
        lastRatio = single > 0 ? mean / single : 0;
        std::printf("%6d %12.2f %12.4f %12.4f %12.2f %10.3f%s\n", count, mean, lastRatio,
                    single > 0 ? Longest(run.units.seconds) / single : 0.0, run.wallSeconds,
                    run.cpuSeconds / count, complete ? "" : "  (units failed or missing)");
        std::fflush(stdout);
        ok = ok && complete;
    }
    std::printf("ratio at %d units: %.4f (target at most %.2f) %s\n", kUnitCounts[3], lastRatio,
                kTargetRatio, lastRatio <= kTargetRatio ? "ok" : "OVER");
    return ok && lastRatio <= kTargetRatio ? 0 : 1;
}

}  // namespace
}  // namespace zelvar::bench

int main() {
    return zelvar::bench::Run();
}
