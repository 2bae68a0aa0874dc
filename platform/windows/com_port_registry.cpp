// SPDX-License-Identifier: MIT
#include "com_port_registry.h"

#include "text.h"

#include <windows.h>
// SetupAPI's GUIDs are defined here, not taken from a library.
#include <initguid.h>
#include <devguid.h>
#include <winioctl.h> // GUID_DEVINTERFACE_COMPORT
#include <setupapi.h>

namespace platform {
namespace {

// A registry string as stored: it may lack its terminating null, or carry more than one.
std::wstring registryString(const wchar_t* data, DWORD bytes)
{
    std::wstring text(data, bytes / sizeof(wchar_t));
    if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
    return text;
}

void addFriendlyNames(HDEVINFO devices, std::map<std::string, std::string>& names)
{
    if (devices == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t portName[64] {};
        DWORD type = 0, bytes = sizeof portName - sizeof(wchar_t);
        const bool havePort = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(portName),
                                               &bytes) == ERROR_SUCCESS && type == REG_SZ;
        RegCloseKey(key);
        const auto number = havePort ? comPortNumber(narrow(registryString(portName, bytes))) : std::nullopt;
        if (!number) continue;
        wchar_t friendly[256] {};
        if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                               reinterpret_cast<BYTE*>(friendly), sizeof friendly - sizeof(wchar_t),
                                               nullptr))
            continue;
        names.emplace("COM" + std::to_string(*number), narrow(friendly));
    }
    SetupDiDestroyDeviceInfoList(devices);
}

} // namespace

std::vector<SerialCommValue> readSerialComm()
{
    std::vector<SerialCommValue> values;
    HKEY key = nullptr;
    const wchar_t* path = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[64];
        DWORD nameLength = 256, type = 0, bytes = sizeof data;
        const LSTATUS status =
            RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ) continue; // too long to be a port's name, or not text
        values.push_back({narrow(std::wstring_view(name, nameLength)), narrow(registryString(data, bytes))});
    }
    RegCloseKey(key);
    return values;
}

std::map<std::string, std::string> readFriendlyNames()
{
    std::map<std::string, std::string> names;
    addFriendlyNames(SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT), names);
    addFriendlyNames(SetupDiGetClassDevsW(&GUID_DEVINTERFACE_COMPORT, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
                     names);
    return names;
}

} // namespace platform
