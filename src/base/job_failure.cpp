#include "base/job_failure.h"

#include <mutex>

namespace zelvar {

namespace {

struct JobFailure {
    std::mutex mutex;
    std::string reason;
};

JobFailure& Failure() {
    static JobFailure failure;
    return failure;
}

}  // namespace

void ResetJobFailure() {
    std::lock_guard lock(Failure().mutex);
    Failure().reason.clear();
}

void NoteJobFailure(std::string_view reason) {
    std::lock_guard lock(Failure().mutex);
    if (Failure().reason.empty()) Failure().reason = reason;
}

std::string JobFailureReason() {
    std::lock_guard lock(Failure().mutex);
    return Failure().reason;
}

}  // namespace zelvar
