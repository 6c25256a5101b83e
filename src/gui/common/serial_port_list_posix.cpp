#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "base/directory_entries.h"
#include "base/simulator_link_posix.h"
#include "gui/common/serial_port_list.h"

namespace zelvar {

namespace {

// Numbered device families, in the order the list offers them. The 8250 driver
// creates ttyS nodes for ports that are not fitted; only those whose sysfs "type" is
// not 0 (unknown) have a UART behind them.
struct Family {
    const char* prefix;
    bool needsUart;
};
constexpr Family kFamilies[] = {{"ttyS", true}, {"ttyUSB", false}, {"ttyACM", false}};

bool IsCharacterDevice(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// "ttyUSB12" -> 12 for prefix "ttyUSB"; -1 when the rest is not a number.
long DeviceNumber(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    std::string digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    return std::strtol(digits.c_str(), nullptr, 10);
}

bool HasUart(const SerialPortRoots& roots, const std::string& name) {
    std::ifstream type(roots.sysClassTty + "/" + name + "/type");
    int value = 0;
    return type >> value && value != 0;
}

void AddFamily(const SerialPortRoots& roots, const Family& family,
               std::vector<std::string>& ports) {
    std::vector<std::pair<long, std::string>> found;
    for (const std::string& name : DirectoryEntries(roots.dev)) {
        long number = DeviceNumber(name, family.prefix);
        if (number < 0) continue;
        std::string path = roots.dev + "/" + name;
        if (!IsCharacterDevice(path)) continue;
        if (family.needsUart && !HasUart(roots, name)) continue;
        found.emplace_back(number, path);
    }
    std::sort(found.begin(), found.end());
    for (auto& entry : found) ports.push_back(std::move(entry.second));
}

void AddById(const SerialPortRoots& roots, std::vector<std::string>& ports) {
    std::string dir = roots.dev + "/serial/by-id";
    for (const std::string& name : DirectoryEntries(dir)) {
        std::string path = dir + "/" + name;
        if (IsCharacterDevice(path)) ports.push_back(path);
    }
}

constexpr int kProductSearchDepth = 4;  // from the tty's device up to the USB device

// The tty a /dev/serial/by-id link points at ("ttyUSB0"); "" when it is no link.
std::string LinkedTty(const std::string& path) {
    char target[256] = {};
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return "";
    const std::string text(target, static_cast<std::size_t>(length));
    const std::size_t slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

// The product string of the USB device above the tty's device in sysfs.
std::string ProductOf(const SerialPortRoots& roots, const std::string& tty) {
    char* real = realpath((roots.sysClassTty + "/" + tty + "/device").c_str(), nullptr);
    if (real == nullptr) return "";
    std::string dir = real;
    free(real);
    for (int level = 0; level < kProductSearchDepth && dir.size() > 1; ++level) {
        std::ifstream file(dir + "/product");
        std::string product;
        if (std::getline(file, product) && !product.empty()) return product;
        dir = dir.substr(0, dir.rfind('/'));
    }
    return "";
}

}  // namespace

std::vector<PortChoice> DescribeSerialPorts(const SerialPortRoots& roots,
                                            const std::vector<std::string>& devices) {
    const std::string byId = roots.dev + "/serial/by-id/";
    std::vector<PortChoice> choices;
    for (const std::string& device : devices) {
        std::string label = device;
        if (device.compare(0, byId.size(), byId) == 0) {
            const std::string tty = LinkedTty(device);
            const std::string product = tty.empty() ? "" : ProductOf(roots, tty);
            if (!product.empty()) label = product + " (" + tty + ")";
        }
        choices.push_back({label, device});
    }
    return choices;
}

SerialPortRoots SystemSerialPortRoots() {
    SerialPortRoots roots;
    roots.simLink = DefaultSimLinkPath();
    return roots;
}

std::vector<std::string> FindSerialPorts(const SerialPortRoots& roots) {
    std::vector<std::string> ports;
    for (const Family& family : kFamilies) AddFamily(roots, family, ports);
    AddById(roots, ports);
    // The link points at the simulator's pseudo-terminal only while it runs.
    if (!roots.simLink.empty() && IsCharacterDevice(roots.simLink)) {
        ports.push_back(roots.simLink);
    }
    return ports;
}

}  // namespace zelvar
