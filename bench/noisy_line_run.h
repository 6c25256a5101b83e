// One whole `zelvar flash` of the benchmark's image against a simulated receiver paced at
// the real line rate, whose line flips bits at a given rate both ways, and what came of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvar::bench {

struct NoisyRunSetup {
    std::string imagePath;            // the image flashed
    std::string factoryPath;          // what the receiver's flash holds at start
    std::vector<uint8_t> programmed;  // what its flash must begin with after a success
    std::string workDir;              // a private directory for this run's files
    double bitErrorRate = 0;          // per bit, both directions, while a loader runs
    uint32_t seed = 1;
    double timeoutSeconds = 900;  // --timeout of the run
    std::string program;          // the zelvar to run; empty: the one built beside this
};

// How a run ended: its verdict, from the exit code.
enum class RunVerdict { Verified, NotVouched, Failed };

struct NoisyRunResult {
    bool started = false;  // the receiver and the process ran
    int exitCode = -1;
    double seconds = 0;
    bool flashHolds = false;    // the receiver's flash begins with the programmed bytes
    int rewrites = 0;           // frames written again ("Writing the record again")
    int passes = 0;             // passes that reached the SFLD upload
    uint64_t lineErrors = 0;    // bytes the line spoilt or lost, both ways
    double longestQuietMs = 0;  // longest time without a byte on the line
    // Where the flash differs from the programmed bytes: how many bytes, the first offset.
    std::size_t wrongBytes = 0;
    std::size_t firstWrong = 0;
    // From the loader's line figures at the end of programming (0 when it said none).
    double undetectedChance = 0;  // the loader's estimate of an unseen error in the flash
    double meanFrameBytes = 0;    // data bytes per accepted frame
    RunVerdict Verdict() const;
    bool Succeeded() const { return Verdict() == RunVerdict::Verified; }
    // "Verified" over a flash that differs from the image: what must never happen.
    bool WrongFlash() const { return Succeeded() && !flashHolds; }
    // The programming completed and the flash differs, whatever the verdict.
    bool ProgrammedWrong() const {
        return undetectedChance >= 0 && meanFrameBytes > 0 && !flashHolds;
    }
};

NoisyRunResult RunNoisyFlash(const NoisyRunSetup& setup);

}  // namespace zelvar::bench
