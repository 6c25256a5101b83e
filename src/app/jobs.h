// Worker jobs: an upload or a terminal session on its own thread.
#pragma once

#include <string>

namespace zelvar {

// Job result codes.
constexpr int kJobSuccess = 0;
constexpr int kJobUploadFailed = -1;
constexpr int kJobPortNotOpened = -2;
constexpr int kJobPreparationStopped = -3;

struct JobRequest {
    std::string portName;
    std::string imagePath;
    int terminal = 0;
};

int JobThreadProc(JobRequest* request);
// Opens the port, runs the upload or the terminal and reports the end of the job.
// An upload that is cancelled (g_jobCancel) or whose device goes away ends with -1.
// A terminal job first waits until the previous terminal loop has let the port go;
// when it does not (or the job is cancelled meanwhile) the job ends with -2.
int RunJob(const char* portName, const char* imagePath, int terminal);
// Starts JobThreadProc on a detached worker thread with its own copy of request, so
// the dialog may fill in its request again while the job runs. Clears g_jobCancel
// first: a cancel belongs to the job that was running when it was given.
void StartJob(const JobRequest& request);

}  // namespace zelvar
