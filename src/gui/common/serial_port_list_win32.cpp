#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "base/wide_text.h"
#include "gui/common/serial_port_list.h"

namespace zelvar {

namespace {

constexpr const wchar_t* kSerialCommKey = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD kNameChars = 256;

// The number of "COMn", for the order of the list; names of another form go last.
long ComNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return 1L << 30;
    return std::strtol(name.c_str() + 3, nullptr, 10);
}

}  // namespace

// Windows names its serial ports itself; the roots of a Linux machine mean nothing here.
SerialPortRoots SystemSerialPortRoots() {
    return SerialPortRoots{};
}

// The ports the serial drivers have announced: one value per port under SERIALCOMM,
// whose data is the port's name ("COM3").
std::vector<std::string> FindSerialPorts(const SerialPortRoots&) {
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t value[kNameChars];
        wchar_t data[kNameChars] = {};
        DWORD valueChars = kNameChars;
        DWORD dataBytes = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, value, &valueChars, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        const std::string name = Utf8FromWide(data);
        if (!name.empty()) ports.push_back(name);
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
        return ComNumber(a) != ComNumber(b) ? ComNumber(a) < ComNumber(b) : a < b;
    });
    return ports;
}

std::vector<PortChoice> DescribeSerialPorts(const SerialPortRoots&,
                                            const std::vector<std::string>& devices) {
    return PortChoices(devices);
}

}  // namespace zelvar
