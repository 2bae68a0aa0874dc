#pragma once

#include "platform/common/port_resolver.h"

#include <string>

namespace platform {

// Port n is the system's communications port COMn, opened as \\.\COMn (the
// only form that reaches COM10 and above). The ports present are those in
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, each described by its device's friendly
// name where SetupAPI has one.
class ComPortResolver : public PortResolver {
public:
    std::optional<std::string> deviceFor(int number) const override; // "COM9"
    std::vector<Port> present() const override;
};

// The path CreateFileW opens for port n: \\.\COMn.
std::wstring comDevicePath(int number);

} // namespace platform
