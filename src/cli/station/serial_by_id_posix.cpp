#include <climits>
#include <cstdlib>

#include "base/directory_entries.h"
#include "cli/station/serial_by_id.h"

namespace zelvar::cli {

namespace {

// The absolute path without links, "." or "..": "" when it does not resolve.
std::string Resolved(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return {};
    return resolved;
}

}  // namespace

std::string SerialByIdName(const std::string& port, const std::string& byIdDir) {
    const std::string device = Resolved(port);
    if (device.empty()) return {};
    for (const std::string& name : DirectoryEntries(byIdDir)) {
        if (Resolved(byIdDir + "/" + name) == device) return name;
    }
    return {};
}

}  // namespace zelvar::cli
