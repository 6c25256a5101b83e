// The names a directory holds, for the port lists that look through /dev.
#pragma once

#include <string>
#include <vector>

namespace zelvar {

// The names in dir but "." and "..", sorted; none when it cannot be read.
std::vector<std::string> DirectoryEntries(const std::string& dir);

}  // namespace zelvar
