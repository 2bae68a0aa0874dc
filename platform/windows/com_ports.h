// SPDX-License-Identifier: MIT
#pragma once

#include "platform/common/port_resolver.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Port n is the system's communications port COMn, opened as \\.\COMn (the
// only form that reaches COM10 and above). The ports present are those in
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, each described by its device's friendly
// name where SetupAPI has one. Listing opens no port: opening one may raise
// its DTR and RTS.
class ComPortResolver : public PortResolver {
public:
    std::optional<std::string> deviceFor(int number) const override; // "COM9"
    std::vector<Port> present() const override;
};

// The path CreateFileW opens for port n: \\.\COMn.
std::wstring comDevicePath(int number);

// One value of SERIALCOMM: the driver's device name and the port's name.
struct SerialCommValue {
    std::string deviceName; // \Device\Serial0, \Device\VCP0
    std::string portName;   // COM1
};

// "COM3" -> 3, in any case; nothing for a name that is not COMn with n from 1
// to 32767 (a port number above cannot be picked).
std::optional<int> comPortNumber(std::string_view portName);

// The ports present, by number: "USB Serial Port (COM3)" where the device has
// a friendly name (friendlyNames is keyed by "COM3"), else "COM2 (\Device\Serial1)".
// Values that do not name a COMn port are left out.
std::vector<PortResolver::Port> listComPorts(const std::vector<SerialCommValue>& values,
                                             const std::map<std::string, std::string>& friendlyNames);

} // namespace platform
