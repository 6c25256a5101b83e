// Where the simulated receiver puts the link to its serial device when the user names
// none. Header-only so that the desktop dialog's port list can offer the path without
// linking the simulator.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace zelvar::sim {

// "$XDG_RUNTIME_DIR/zelvar-sim" when the runtime directory is set, else
// "/tmp/zelvar-sim-<uid>".
inline std::string DefaultSimLinkPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/zelvar-sim";
    }
    return "/tmp/zelvar-sim-" + std::to_string(static_cast<unsigned>(getuid()));
}

}  // namespace zelvar::sim
