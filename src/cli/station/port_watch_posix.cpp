#include <glob.h>
#include <sys/stat.h>

#include "cli/station/port_watch.h"

namespace zelvar::cli {

namespace {

// A device is present when its path leads to something (a link to a vanished device
// does not).
bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

const char* const kDefaultPortGlob = "/dev/serial/by-id/*";

std::set<std::string> CPortWatch::Present() const {
    std::set<std::string> present;
    if (!m_ports.empty()) {
        for (const std::string& port : m_ports) {
            if (Exists(port)) present.insert(port);
        }
        return present;
    }
    glob_t found{};
    if (glob(m_pattern.c_str(), 0, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) {
            if (Exists(found.gl_pathv[i])) present.insert(found.gl_pathv[i]);
        }
    }
    globfree(&found);
    return present;
}

}  // namespace zelvar::cli
