// Exit codes of the zelvar command line. Scripts on production lines depend on them.
#pragma once

namespace zelvar::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitUploadFailed = 1;  // also: make-image could not build its image
constexpr int kExitPortNotOpened = 2;
constexpr int kExitPreparationStopped = 3;  // refused image, or the PFLD question answered No
constexpr int kExitNoReceiver = 4;
constexpr int kExitVerifyFailed = 5;  // after the upload the receiver did not show the image
constexpr int kExitNotVouched = 6;    // the words matched, but the line may have spoilt data
                                      // no check could see: flash again or read back in full
constexpr int kExitUsage = 64;

// The exit code for a job's result code (RunJob).
int ExitCodeForJobResult(int jobResult);

}  // namespace zelvar::cli
