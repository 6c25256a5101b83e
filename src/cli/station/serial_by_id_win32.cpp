// On Windows the adapter is named by the device manager: its friendly name ("USB Serial
// Port (COM5)") and the serial number of the USB device it belongs to, found through the
// SetupAPI's COM port interfaces. byIdDir, Linux's directory, is not used here.
#include <windows.h>
// after windows.h, which they need
#include <cfgmgr32.h>
#include <setupapi.h>

#include "base/wide_text.h"
#include "cli/station/com_port_names.h"
#include "cli/station/serial_by_id.h"

namespace zelvar::cli {

namespace {

// GUID_DEVINTERFACE_COMPORT: the interface every COM port's driver offers.
constexpr GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
constexpr DWORD kTextChars = 512;  // a property or an instance id
constexpr int kUsbLevels = 3;      // the port, its interface, the USB device

std::wstring RegistryText(HKEY key, const wchar_t* name) {
    wchar_t text[kTextChars] = {};
    DWORD bytes = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return text;
}

std::string PortNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    const std::wstring name = RegistryText(key, L"PortName");
    RegCloseKey(key);
    return ComNameOf(Utf8FromWide(name.c_str()));
}

std::string FriendlyName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    wchar_t text[kTextChars] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                           reinterpret_cast<BYTE*>(text), sizeof text - 2,
                                           nullptr)) {
        return {};
    }
    return Utf8FromWide(text);
}

// The serial number in a USB device's instance id ("USB\VID_0403&PID_6001\A600XYZA"):
// its last part, unless that is one Windows made up for a device without one (those
// hold '&').
std::string UsbSerialOf(const std::wstring& instance) {
    if (instance.rfind(L"USB\\", 0) != 0) return {};
    const std::wstring last = instance.substr(instance.find_last_of(L'\\') + 1);
    if (last.empty() || last.find(L'&') != std::wstring::npos) return {};
    return Utf8FromWide(last.c_str());
}

// Up from the port to the USB device that has a serial number.
std::string UsbSerialNumber(DEVINST node) {
    for (int level = 0; level < kUsbLevels; ++level) {
        wchar_t instance[kTextChars] = {};
        if (CM_Get_Device_IDW(node, instance, kTextChars, 0) != CR_SUCCESS) return {};
        const std::string serial = UsbSerialOf(instance);
        if (!serial.empty()) return serial;
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) return {};
        node = parent;
    }
    return {};
}

std::string AdapterName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    std::string name = FriendlyName(devices, device);
    const std::string serial = UsbSerialNumber(device.DevInst);
    if (serial.empty()) return name;
    return name.empty() ? serial : name + ", serial " + serial;
}

}  // namespace

std::string SerialByIdName(const std::string& port, const std::string&) {
    const std::string wanted = ComNameOf(port);
    HDEVINFO devices = SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE) return {};
    std::string name;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; name.empty() && SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        if (PortNameOf(devices, device) == wanted) name = AdapterName(devices, device);
    }
    SetupDiDestroyDeviceInfoList(devices);
    return name;
}

}  // namespace zelvar::cli
