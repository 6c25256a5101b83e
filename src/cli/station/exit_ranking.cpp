#include "cli/station/exit_ranking.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "cli/exit_codes.h"
#include "cli/signal_watch.h"

namespace zelvar::cli {

namespace {

// Most serious first; codes not listed rank after all of them, and success last.
constexpr std::array kExitsBySeriousness = {
    kExitUploadFailed, kExitVerifyFailed,  kExitNotVouched,        kExitInterrupted,
    kExitNoReceiver,   kExitPortNotOpened, kExitPreparationStopped};

// Lower is more serious.
int Rank(int code) {
    constexpr int kOtherFailure = static_cast<int>(kExitsBySeriousness.size());
    if (code == kExitSuccess) return kOtherFailure + 1;
    const auto* found = std::find(kExitsBySeriousness.begin(), kExitsBySeriousness.end(), code);
    if (found == kExitsBySeriousness.end()) return kOtherFailure;
    return static_cast<int>(std::distance(kExitsBySeriousness.begin(), found));
}

}  // namespace

int MostSeriousExit(const std::vector<int>& codes) {
    if (codes.empty()) return kExitSuccess;
    return *std::min_element(codes.begin(), codes.end(),
                             [](int a, int b) { return Rank(a) < Rank(b); });
}

}  // namespace zelvar::cli
