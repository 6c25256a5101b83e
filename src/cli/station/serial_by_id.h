// The stable name of a serial port: its entry in the system's by-id directory, which
// names the adapter by maker, model and serial number rather than by plug-in order.
#pragma once

#include <string>

namespace zelvar::cli {

constexpr const char* kSerialByIdDir = "/dev/serial/by-id";

// The name of the entry in byIdDir that resolves to the same file as port ("" when none
// does, or port or byIdDir cannot be resolved). Of several such entries, the first by name.
std::string SerialByIdName(const std::string& port, const std::string& byIdDir = kSerialByIdDir);

}  // namespace zelvar::cli
