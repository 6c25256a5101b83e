// The serial devices this machine offers for the port list, after the receiver's own
// "GPS1:" and "GPS2:": on-board and USB serial ports, their stable by-id names and a
// running simulated receiver's link.
#pragma once

#include <string>
#include <vector>

#include "gui/common/loader_layout.h"

namespace zelvar {

struct SerialPortRoots {
    std::string dev = "/dev";                    // device nodes
    std::string sysClassTty = "/sys/class/tty";  // the kernel's view of the tty drivers
    std::string simLink;                         // the simulated receiver's default link
};

// The roots of this machine, with the simulator's default link.
SerialPortRoots SystemSerialPortRoots();

// Device paths that exist now, in this order: /dev/ttyS* backed by a real UART,
// /dev/ttyUSB*, /dev/ttyACM* (each by number), /dev/serial/by-id/* (by name), then the
// simulator's link if a simulator is serving it.
std::vector<std::string> FindSerialPorts(const SerialPortRoots& roots);

// The list's entries for those devices: a /dev/serial/by-id name is shown by the USB
// device's product string and its tty ("FT232R USB UART (ttyUSB0)"); every other device,
// and one whose product the kernel does not tell, by its path.
std::vector<PortChoice> DescribeSerialPorts(const SerialPortRoots& roots,
                                            const std::vector<std::string>& devices);

}  // namespace zelvar
