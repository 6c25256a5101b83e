#include <dirent.h>

#include <algorithm>

#include "base/directory_entries.h"

namespace zelvar {

std::vector<std::string> DirectoryEntries(const std::string& dir) {
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

}  // namespace zelvar
