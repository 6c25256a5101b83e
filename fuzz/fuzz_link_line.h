// The serial line of the link and upload fuzz targets: a fresh pty per input whose
// master plays the receiver. The input's bytes are fed to the loader as fast as it reads
// them; once it has taken them all (or stops reading for a while) the master is closed,
// as an unplugged adapter would be, so every call on the port must come back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/port.h"

namespace zelvar::fuzz {

// Opens a pty, opens its slave with OpenPort at speed, feeds data from the master on a
// thread and runs call with the handle. Ends the process with a message when call is
// still running long after the device went away.
void RunOverLine(const uint8_t* data, std::size_t size, int speed,
                 const std::function<void(PortHandle)>& call);

}  // namespace zelvar::fuzz
