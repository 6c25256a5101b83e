// Apart from the system calls: the loader's port names clash with <windows.h>'s macros.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "cli/station/com_port_names.h"
#include "link/port.h"

namespace zelvar::cli {

namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";
constexpr int kDeviceChars = 256;

}  // namespace

std::string ComNameOf(const std::string& port) {
    char device[kDeviceChars];
    if (!ResolvePortName(port.c_str(), device, sizeof device)) return port;
    const std::size_t prefix = std::strlen(kDevicePrefix);
    std::string name = std::strncmp(device, kDevicePrefix, prefix) == 0 ? device + prefix : device;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

}  // namespace zelvar::cli
