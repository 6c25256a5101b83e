// Windows' COM ports by name: the ones the system lists, and the name a port is listed by.
#pragma once

#include <string>
#include <vector>

namespace zelvar::cli {

// The COM port names in HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (the ports present now), in
// capitals, sorted.
std::vector<std::string> ListedComPorts();

// The name a port given on the command line is listed by, in capitals: "COM5" for
// "com5" and "\\.\COM5", "COM1" and "COM2" for "GPS1:" and "GPS2:"; another name as it is.
std::string ComNameOf(const std::string& port);

}  // namespace zelvar::cli
