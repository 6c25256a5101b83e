// The station's exit code: the most serious of its units' codes wins.
#include "cli/station/exit_ranking.h"

#include <gtest/gtest.h>

#include <vector>

#include "cli/exit_codes.h"
#include "cli/signal_watch.h"

namespace zelvar::cli {
namespace {

// Most serious first; kExitUsage stands for every code with no place of its own.
const std::vector<int> kOrder = {kExitUploadFailed, kExitVerifyFailed,  kExitInterrupted,
                                 kExitNoReceiver,   kExitPortNotOpened, kExitPreparationStopped,
                                 kExitUsage,        kExitSuccess};

TEST(ExitRanking, EveryPairGivesTheMoreSeriousInEitherOrder) {
    for (std::size_t i = 0; i < kOrder.size(); ++i) {
        for (std::size_t j = i + 1; j < kOrder.size(); ++j) {
            EXPECT_EQ(MostSeriousExit({kOrder[i], kOrder[j]}), kOrder[i]) << i << " " << j;
            EXPECT_EQ(MostSeriousExit({kOrder[j], kOrder[i]}), kOrder[i]) << i << " " << j;
        }
    }
}

TEST(ExitRanking, UnlistedCodesBeatOnlySuccessAndNoCodesAreSuccess) {
    EXPECT_EQ(MostSeriousExit({}), kExitSuccess);
    EXPECT_EQ(MostSeriousExit({kExitSuccess, kExitSuccess}), kExitSuccess);
    EXPECT_EQ(MostSeriousExit({kExitSuccess, 77, kExitSuccess}), 77);
    EXPECT_EQ(MostSeriousExit({-1, kExitSuccess}), -1);
    EXPECT_EQ(MostSeriousExit({77, kExitPreparationStopped, 64}), kExitPreparationStopped);
}

}  // namespace
}  // namespace zelvar::cli
