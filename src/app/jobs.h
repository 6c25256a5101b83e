// Worker jobs: an upload or a terminal session on its own thread.
#pragma once

#include <string>

#include "upload/flash_verify.h"
#include "upload/receiver_state.h"

namespace zelvar {

// Job result codes.
constexpr int kJobSuccess = 0;
constexpr int kJobUploadFailed = -1;
constexpr int kJobPortNotOpened = -2;
constexpr int kJobPreparationStopped = -3;
constexpr int kJobVerifyFailed = -4;  // programmed, but the read-back did not show the image
constexpr int kJobNotVouched = -5;    // programmed and its words shown, but the line may have
                                      // spoilt data that no check could see

struct JobRequest {
    std::string portName;
    std::string imagePath;
    int terminal = 0;
    VerifyMode verify = VerifyMode::Words;  // how an upload checks the receiver's flash afterwards
};

// How the last job ended, for a front end that reports it beyond the message list.
struct JobOutcome {
    int result = kJobSuccess;
    ReceiverState state = ReceiverState::Unchanged;
    std::string reason;  // why it failed; "" after a success
};
JobOutcome LastJobOutcome();

int JobThreadProc(JobRequest* request);
// Opens the port, runs the upload or the terminal and reports the end of the job.
// An upload that is cancelled (g_jobCancel) or whose device goes away ends with -1.
// A programmed flash is then verified (verify) and ends with -4 when that fails, -5
// when its content is not vouched for. Before
// its "Upload complete" or "Upload failed" an upload says in what state it left the
// receiver, and a failed job first why it failed ("Reason: ...").
// A terminal job first waits until the previous terminal loop has let the port go;
// when it does not (or the job is cancelled meanwhile) the job ends with -2.
int RunJob(const char* portName, const char* imagePath, int terminal,
           VerifyMode verify = VerifyMode::Words);
// Starts JobThreadProc on a detached worker thread with its own copy of request, so
// the dialog may fill in its request again while the job runs. Clears g_jobCancel
// first: a cancel belongs to the job that was running when it was given.
void StartJob(const JobRequest& request);

}  // namespace zelvar
