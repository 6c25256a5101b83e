// Flashes a 256 KiB firmware image with `zelvar flash` into the simulated receiver paced at
// the real line rate, over a line that flips bits at a given rate in both directions, many
// seeded runs per rate, several runs side by side (each its own process, receiver and pty).
// Prints per rate the runs ending "Verified", "Not vouched for" and in a failure, those
// "Verified" over a wrong flash, the median and longest time over the clean line's median,
// the frames written again, the passes, the wrong flashes the loader estimated and those
// found whatever the verdict, the mean frame length and the longest time the line was
// quiet; writes the table as CSV and a plot. With --baseline, another zelvar (the build
// before a change) flashes the clean line in the same run, for the clean time's ratio.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_files.h"
#include "bench/noisy_line_run.h"
#include "bench/noisy_line_table.h"

namespace zelvar::bench {
namespace {

constexpr double kRates[] = {0, 1e-7, 1e-6, 3e-6, 1e-5, 3e-5};
constexpr int kDefaultRuns = 10;
// The rates where a wrong flash is likely enough to be counted get more runs.
constexpr double kManyRunRates[] = {1e-5, 3e-5};
constexpr int kManyRuns = 50;
constexpr int kDefaultJobs = 4;
constexpr std::size_t kFwBytes = 0x40000 - 4;  // 256 KiB with the FW check word
constexpr uint32_t kFactoryFwSeed = 4;
constexpr uint32_t kNewFwSeed = 2;

struct Settings {
    int runs = kDefaultRuns;   // runs per rate
    int manyRuns = kManyRuns;  // runs at the rates of kManyRunRates
    int jobs = kDefaultJobs;
    int firstSeed = 1;  // runs use the seeds firstSeed, firstSeed + 1, ...
    std::string outDir = ".";
    std::string baseline;   // another zelvar, run on the clean line beside this build
    bool plotOnly = false;  // draw the plot again from the CSV in outDir
    std::vector<double> rates{std::begin(kRates), std::end(kRates)};
};

int SeedsAt(const Settings& s, double rate) {
    for (const double many : kManyRunRates) {
        if (rate == many) return std::max(s.runs, s.manyRuns);
    }
    return s.runs;
}

// "0,1e-6,1e-5": the rates to run (0 gives the clean time the others are measured by).
bool ParseRates(const char* text, std::vector<double>& rates) {
    rates.clear();
    for (const char* p = text; *p != 0;) {
        char* end = nullptr;
        const double rate = std::strtod(p, &end);
        if (end == p || rate < 0 || rate >= 1) return false;
        rates.push_back(rate);
        p = *end == ',' ? end + 1 : end;
        if (*end != ',' && *end != 0) return false;
    }
    return !rates.empty();
}

// Writes the new image and the factory image; fills what a good flash begins with.
bool MakeImages(const std::string& dir, NoisyRunSetup& setup) {
    const std::vector<uint8_t> factory = test::ImageOf(BenchImage(kFactoryFwSeed, kFwBytes));
    const std::vector<uint8_t> image = test::ImageOf(BenchImage(kNewFwSeed, kFwBytes));
    setup.factoryPath = dir + "factory.bin";
    setup.imagePath = dir + "new.bin";
    setup.programmed = test::ProgrammedPart(image);
    if (factory.empty() || setup.programmed.empty() ||
        !test::WriteBytes(setup.factoryPath, factory) ||
        !test::WriteBytes(setup.imagePath, image)) {
        std::fprintf(stderr, "cannot write the images into %s\n", dir.c_str());
        return false;
    }
    return true;
}

struct Job {
    double rate;
    uint32_t seed;
    bool baseline = false;  // run with the baseline's zelvar
};

// Runs every job on `jobs` threads; results in the jobs' order.
std::vector<NoisyRunResult> RunAll(const NoisyRunSetup& common, const std::string& dir,
                                   const std::vector<Job>& list, int jobs,
                                   const std::string& baseline) {
    std::vector<NoisyRunResult> results(list.size());
    std::atomic<std::size_t> next{0};
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < jobs; ++w) {
        workers.emplace_back([&] {
            for (std::size_t i; (i = next.fetch_add(1)) < list.size();) {
                NoisyRunSetup setup = common;
                setup.bitErrorRate = list[i].rate;
                setup.seed = list[i].seed;
                if (list[i].baseline) setup.program = baseline;
                setup.workDir = dir + "run" + std::to_string(i);
                std::filesystem::create_directory(setup.workDir);
                results[i] = RunNoisyFlash(setup);
                const NoisyRunResult& r = results[i];
                std::fprintf(stderr, "  [%d/%zu] rate %g seed %u%s: exit %d, %.1f s", ++done,
                             list.size(), list[i].rate, list[i].seed,
                             list[i].baseline ? " (baseline)" : "", r.exitCode, r.seconds);
                if (r.WrongFlash()) {
                    std::fprintf(stderr, ", WRONG FLASH: %zu bytes differ from 0x%zx on",
                                 r.wrongBytes, r.firstWrong);
                }
                std::fprintf(stderr, "\n");
            }
        });
    }
    for (std::thread& t : workers) t.join();
    return results;
}

bool ParseSettings(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--runs") == 0 && hasValue) {
            s.runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--many-runs") == 0 && hasValue) {
            s.manyRuns = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--first-seed") == 0 && hasValue) {
            s.firstSeed = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--jobs") == 0 && hasValue) {
            s.jobs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
            s.outDir = argv[++i];
        } else if (std::strcmp(argv[i], "--baseline") == 0 && hasValue) {
            s.baseline = argv[++i];
        } else if (std::strcmp(argv[i], "--plot-only") == 0) {
            s.plotOnly = true;
        } else if (std::strcmp(argv[i], "--rates") == 0 && hasValue) {
            if (!ParseRates(argv[++i], s.rates)) return false;
        } else {
            return false;
        }
    }
    return s.runs > 0 && s.manyRuns >= 0 && s.jobs > 0 && s.firstSeed > 0;
}

int Run(const Settings& settings) {
    const std::string csv = settings.outDir + "/noisy_line.csv";
    const std::string png = settings.outDir + "/noisy_line.png";
    if (settings.plotOnly) return WritePlot(csv, png) ? 0 : 1;
    const std::string dir = MakeWorkDirectory("noisy");
    NoisyRunSetup common;
    if (dir.empty() || !MakeImages(dir, common)) return 2;
    std::vector<Job> list;
    const int seeds = std::max(settings.runs, settings.manyRuns);
    for (int seed = settings.firstSeed; seed < settings.firstSeed + seeds; ++seed) {
        for (const double rate : settings.rates) {
            if (SeedsAt(settings, rate) + settings.firstSeed <= seed) continue;
            list.push_back({rate, static_cast<uint32_t>(seed)});
            if (rate == 0 && !settings.baseline.empty())
                list.push_back({rate, static_cast<uint32_t>(seed), true});
        }
    }
    std::fprintf(stderr, "%zu runs of a 256 KiB image, %d at a time\n", list.size(), settings.jobs);
    const std::vector<NoisyRunResult> results =
        RunAll(common, dir, list, settings.jobs, settings.baseline);
    std::filesystem::remove_all(dir);

    std::vector<RateRuns> byRate;
    std::vector<NoisyRunResult> baselineRuns;
    for (const double rate : settings.rates) {
        RateRuns r{rate, {}};
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].rate == rate && !list[i].baseline) r.runs.push_back(results[i]);
        }
        byRate.push_back(r);
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].baseline) baselineRuns.push_back(results[i]);
    }
    const double cleanSeconds = CleanMedian(byRate);
    const std::vector<RateRow> rows = Summarise(byRate, cleanSeconds);
    PrintTable(rows);
    std::filesystem::create_directories(settings.outDir);
    if (!WriteCsv(rows, csv)) std::fprintf(stderr, "cannot write %s\n", csv.c_str());
    if (!WritePlot(csv, png)) std::fprintf(stderr, "no plot written (gnuplot missing?)\n");
    bool met = PrintTargets(rows);
    if (!baselineRuns.empty()) met &= PrintCleanComparison(cleanSeconds, baselineRuns);
    return met ? 0 : 1;
}

}  // namespace
}  // namespace zelvar::bench

int main(int argc, char** argv) {
    zelvar::bench::Settings settings;
    if (!zelvar::bench::ParseSettings(argc, argv, settings)) {
        std::fprintf(
            stderr,
            "usage: %s [--runs N] [--many-runs N] [--first-seed N] [--jobs N] [--rates R,R,...] "
            "[--baseline ZELVAR] [--out DIR] [--plot-only]\n"
            "  --runs: seeded runs per rate (10); --many-runs: at 1e-5 and 3e-5 (50)\n",
            argv[0]);
        return 2;
    }
    return zelvar::bench::Run(settings);
}
