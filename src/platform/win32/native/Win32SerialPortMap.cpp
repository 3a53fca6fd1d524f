// The serial ports of this machine: the system's serial-port map in the
// registry, with the friendly names the device manager shows.

#include <algorithm>
#include <map>
#include <string>
#include <vector>
// windows.h first: the headers after it need its types.
// clang-format off
#include <windows.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

#include "platform/win32/Win32PortList.h"
#include "platform/win32/native/WideText.h"

namespace vantrel {
namespace {

// A registry string value as UTF-8 (the stored length may or may not count
// the terminating zero).
std::string RegistryText(const std::vector<wchar_t>& data, DWORD bytes)
{
    size_t length = std::min<size_t>(bytes / sizeof(wchar_t), data.size());
    while (length > 0 && data[length - 1] == L'\0')
        --length;
    return Utf8FromWide(data.data(), length);
}

std::vector<SystemSerialPort> ReadSerialPortMap()
{
    std::vector<SystemSerialPort> map;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return map;
    for (DWORD index = 0;; ++index) {
        std::vector<wchar_t> name(256);
        std::vector<wchar_t> data(256);
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        const LONG rc = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        map.push_back({Utf8FromWide(name.data(), nameLength), RegistryText(data, dataBytes)});
    }
    RegCloseKey(key);
    return map;
}

std::map<std::string, std::string> ReadFriendlyNames()
{
    std::map<std::string, std::string> names;
    const HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        std::string port;
        if (HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            key != INVALID_HANDLE_VALUE) {
            std::vector<wchar_t> data(256);
            DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            DWORD type = 0;
            if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) ==
                    ERROR_SUCCESS &&
                type == REG_SZ)
                port = RegistryText(data, bytes);
            RegCloseKey(key);
        }
        std::vector<wchar_t> friendly(512);
        DWORD bytes = 0;
        if (port.empty() || !SetupDiGetDeviceRegistryPropertyW(
                                devices, &device, SPDRP_FRIENDLYNAME, nullptr, reinterpret_cast<BYTE*>(friendly.data()),
                                static_cast<DWORD>(friendly.size() * sizeof(wchar_t)), &bytes))
            continue;
        names[PortNameKey(port)] = RegistryText(friendly, bytes);
    }
    SetupDiDestroyDeviceInfoList(devices);
    return names;
}

} // namespace

std::vector<SerialPortInfo> ListSerialPorts()
{
    return Win32SerialPortList(ReadSerialPortMap(), ReadFriendlyNames());
}

} // namespace vantrel
