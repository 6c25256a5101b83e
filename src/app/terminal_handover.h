// The claim a terminal job holds on the port between WaitForTerminalIdle and the end
// of its loop. It belongs to the job's thread; a job that never reaches its loop (the
// port did not open) gives it back when its thread ends.
#pragma once

namespace zelvar {

// Takes the calling thread's claimed session over (0 when it has none); the caller
// then releases it with ReleaseTerminalSession.
int TakeThreadTerminalClaim();

}  // namespace zelvar
