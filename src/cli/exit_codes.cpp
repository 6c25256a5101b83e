#include "cli/exit_codes.h"

#include "app/jobs.h"

namespace zelvar::cli {

int ExitCodeForJobResult(int jobResult) {
    switch (jobResult) {
        case kJobSuccess:
            return kExitSuccess;
        case kJobPortNotOpened:
            return kExitPortNotOpened;
        case kJobPreparationStopped:
            return kExitPreparationStopped;
        case kJobVerifyFailed:
            return kExitVerifyFailed;
        case kJobNotVouched:
            return kExitNotVouched;
        default:
            return kExitUploadFailed;
    }
}

}  // namespace zelvar::cli
