// Where a simulated receiver (zelvar-sim) started without a link name puts the link to
// its serial device, so that the dialog can offer it in its port list. The simulator
// takes its default from here too, so the two always agree.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace zelvar {

// "$XDG_RUNTIME_DIR/zelvar-sim" when the runtime directory is set, else
// "/tmp/zelvar-sim-<uid>".
inline std::string DefaultSimLinkPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/zelvar-sim";
    }
    return "/tmp/zelvar-sim-" + std::to_string(static_cast<unsigned>(getuid()));
}

}  // namespace zelvar
