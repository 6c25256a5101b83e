#include <windows.h>

#include <algorithm>

#include "base/wide_text.h"
#include "cli/station/com_port_names.h"

namespace zelvar::cli {

namespace {

constexpr const wchar_t* kSerialCommKey = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD kValueChars = 256;  // a value's name and data, far above "\Device\Serial0"

}  // namespace

std::vector<std::string> ListedComPorts() {
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[kValueChars];
        wchar_t data[kValueChars];
        DWORD nameChars = kValueChars;
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, name, &nameChars, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        ports.push_back(ComNameOf(Utf8FromWide(data)));
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end());
    return ports;
}

}  // namespace zelvar::cli
