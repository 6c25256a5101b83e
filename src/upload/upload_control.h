// What every loop of the upload asks before it waits again: has the job been
// cancelled, or has the serial device gone away? And the upload's own pause, which a
// cancel cuts short.
#pragma once

#include <cstdint>

#include "link/port.h"

namespace zelvar {

// True when the job was cancelled (g_jobCancel) or the device behind handle is lost.
bool UploadStopped(PortHandle handle);

// Sleeps ms milliseconds; returns early (false) once the job is cancelled.
bool UploadPause(int ms);

// Milliseconds of pause the upload has asked for since the last reset. The benchmark
// adds them to the protocol's floor.
uint64_t UploadPauseTotalMs();
void ResetUploadPauseTotal();

}  // namespace zelvar
