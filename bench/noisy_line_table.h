// The noisy-line benchmark's table: per bit error rate, what its runs came to, printed,
// written as CSV and drawn with gnuplot.
#pragma once

#include <string>
#include <vector>

#include "bench/noisy_line_run.h"

namespace zelvar::bench {

struct RateRuns {
    double rate = 0;
    std::vector<NoisyRunResult> runs;
};

struct RateRow {
    double rate = 0;
    int runs = 0;
    int succeeded = 0;
    int wrongFlash = 0;         // successes whose flash differs from the image
    double medianRatio = 0;     // median time of the successful runs over the clean median
    double longestRatio = 0;    // longest successful run over the clean median
    int within12 = 0;           // successes within 1.2 x the clean median
    int within2 = 0;            // successes within 2 x
    double medianRewrites = 0;  // frames written again, per run
    int mostRewrites = 0;
    int mostPasses = 0;
    double medianLineErrors = 0;  // bytes spoilt or lost per run
    double longestQuietMs = 0;
    double estimatedWrong = 0;  // sum of the loader's unseen-error estimates over the runs
    int observedWrong = 0;      // programmings that left a wrong flash, whatever the verdict
    double meanFrameBytes = 0;  // data bytes per accepted frame, mean over the runs
};

// The clean median is the rate-0 row's median time (every row needs it, so it comes first).
std::vector<RateRow> Summarise(const std::vector<RateRuns>& byRate);
void PrintTable(const std::vector<RateRow>& rows);
bool WriteCsv(const std::vector<RateRow>& rows, const std::string& path);
// Draws the CSV into a PNG with gnuplot; false when gnuplot is missing or failed.
bool WritePlot(const std::string& csvPath, const std::string& pngPath);
// Prints each target whose rate was run and whether the rows meet it; true when all
// of those are met.
bool PrintTargets(const std::vector<RateRow>& rows);

}  // namespace zelvar::bench
