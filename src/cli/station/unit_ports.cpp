#include "cli/station/unit_ports.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace zelvar::cli {

namespace {

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

bool ReadPortsFile(const std::string& path, std::vector<std::string>& ports, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    for (std::string line; std::getline(file, line);) {
        const std::string port = Trimmed(line.substr(0, line.find('#')));
        if (!port.empty()) ports.push_back(port);
    }
    return true;
}

bool StationPorts(const std::vector<std::string>& given, const std::string& portsFrom,
                  std::vector<std::string>& ports, std::string& error) {
    std::vector<std::string> named = given;
    if (!portsFrom.empty() && !ReadPortsFile(portsFrom, named, error)) return false;
    ports.clear();
    for (const std::string& port : named) {
        if (std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
    }
    return true;
}

}  // namespace zelvar::cli
