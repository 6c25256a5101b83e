// Why the running job failed: the first cause noted since it began (a device that went
// away, a line speed refused, the passes used up, a refused image, a stop). Later
// failures are consequences of the first and are not kept. Callable from any thread.
#pragma once

#include <string>
#include <string_view>

namespace zelvar {

// Forgets the cause of the previous job.
void ResetJobFailure();
// Keeps reason when the job has no cause yet.
void NoteJobFailure(std::string_view reason);
// The cause noted since the last reset; "" when none was.
std::string JobFailureReason();

}  // namespace zelvar
