// The station's exit code: the most serious of its units' codes wins.
#include "cli/station/exit_ranking.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(ExitRanking, AWholeStationInAnyOrderGivesTheFirstOfTheRanking) {
    std::vector<int> codes = kOrder;
    std::reverse(codes.begin(), codes.end());
    for (std::size_t served = codes.size(); served > 0; --served) {
        // Drop the most serious code each round: the next one in the ranking takes over.
        const int expected = kOrder[kOrder.size() - served];
        EXPECT_EQ(MostSeriousExit(codes), expected);
        std::rotate(codes.begin(), codes.begin() + 1, codes.end());
        EXPECT_EQ(MostSeriousExit(codes), expected);
        codes.erase(std::find(codes.begin(), codes.end(), expected));
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
