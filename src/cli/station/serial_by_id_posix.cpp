#include <dirent.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "cli/station/serial_by_id.h"

namespace zelvar::cli {

namespace {

// The absolute path without links, "." or "..": "" when it does not resolve.
std::string Resolved(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return {};
    return resolved;
}

// The names in dir but "." and "..", sorted; none when it cannot be read.
std::vector<std::string> SortedEntries(const std::string& dir) {
    std::vector<std::string> names;
    DIR* stream = opendir(dir.c_str());
    if (stream == nullptr) return names;
    while (const dirent* entry = readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(stream);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::string SerialByIdName(const std::string& port, const std::string& byIdDir) {
    const std::string device = Resolved(port);
    if (device.empty()) return {};
    for (const std::string& name : SortedEntries(byIdDir)) {
        if (Resolved(byIdDir + "/" + name) == device) return name;
    }
    return {};
}

}  // namespace zelvar::cli
