// The stable name of a serial port: on Linux its entry in the system's by-id directory,
// which names the adapter by maker, model and serial number rather than by plug-in order
// (serial_by_id_posix.cpp); on Windows the adapter's friendly name and USB serial number
// (serial_by_id_win32.cpp).
#pragma once

#include <string>

namespace zelvar::cli {

constexpr const char* kSerialByIdDir = "/dev/serial/by-id";

// The name of the entry in byIdDir that resolves to the same file as port ("" when none
// does, or port or byIdDir cannot be resolved). Of several such entries, the first by name.
// On Windows "USB Serial Port (COM5), serial A600XYZA" from the device manager, "" for a
// port it does not know; byIdDir is not used there.
std::string SerialByIdName(const std::string& port, const std::string& byIdDir = kSerialByIdDir);

}  // namespace zelvar::cli
