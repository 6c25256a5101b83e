// The ports a station run flashes: every --port, then the lines of --ports-from.
#pragma once

#include <string>
#include <vector>

namespace zelvar::cli {

// The ports listed in the file at path: one per line, blank lines and '#' comments
// (whole lines or after a port) skipped, surrounding blanks removed. False, with error
// set, when it cannot be read.
bool ReadPortsFile(const std::string& path, std::vector<std::string>& ports, std::string& error);

// given followed by the file's ports, each port once (the first time it is named).
bool StationPorts(const std::vector<std::string>& given, const std::string& portsFrom,
                  std::vector<std::string>& ports, std::string& error);

}  // namespace zelvar::cli
