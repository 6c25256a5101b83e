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
    int verified = 0;           // ended "Verified" (exit 0)
    int notVouched = 0;         // ended "Not vouched for" (exit 6)
    int failed = 0;             // any other end: upload or verification failed
    int wrongFlash = 0;         // "Verified" over a flash that differs from the image
    double medianRatio = 0;     // median time of the runs (any verdict) over the clean median
    double longestRatio = 0;    // longest run over the clean median
    int within12 = 0;           // runs ended (any verdict) within 1.2 x the clean median
    int within2 = 0;            // within 2 x
    double medianRewrites = 0;  // frames written again, per run
    int mostRewrites = 0;
    int mostPasses = 0;
    double medianLineErrors = 0;  // bytes spoilt or lost per run
    double longestQuietMs = 0;
    double estimatedWrong = 0;  // sum of the loader's unseen-error estimates over the runs
    int observedWrong = 0;      // programmings that left a wrong flash, whatever the verdict
    double meanFrameBytes = 0;  // data bytes per accepted frame, mean over the runs
};

// The median time of the runs that ended "Verified" at rate 0: what the other times are
// measured by.
double CleanMedian(const std::vector<RateRuns>& byRate);
std::vector<RateRow> Summarise(const std::vector<RateRuns>& byRate, double cleanSeconds);
void PrintTable(const std::vector<RateRow>& rows);
bool WriteCsv(const std::vector<RateRow>& rows, const std::string& path);
// Draws the CSV into a PNG with gnuplot; false when gnuplot is missing or failed.
bool WritePlot(const std::string& csvPath, const std::string& pngPath);
// Prints each target whose rate was run and whether the rows meet it; true when all
// of those are met.
bool PrintTargets(const std::vector<RateRow>& rows);
// The clean median of this build against that of another zelvar run in the same
// benchmark (the build the frame length policy is weighed against); prints both and
// their ratio; true when the ratio is within the allowed difference.
bool PrintCleanComparison(double cleanSeconds, const std::vector<NoisyRunResult>& baseline);

}  // namespace zelvar::bench
