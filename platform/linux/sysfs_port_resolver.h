// SPDX-License-Identifier: MIT
#pragma once

#include "platform/common/port_resolver.h"

#include <filesystem>

namespace platform {

// Port n is the n-th serial device present, in this order: built-in UARTs
// ttyS* of a known UART type by number, then ttyUSB*, then ttyACM*, then the
// rest by natural name order (bound Bluetooth ports, rfcomm*, connected or
// not, among them). Read from sysfs alone: opening a UART to probe
// it would raise its DTR.
class SysfsPortResolver : public PortResolver {
public:
    explicit SysfsPortResolver(std::filesystem::path sysClassTty = "/sys/class/tty",
                               std::string deviceDir = "/dev");
    std::optional<std::string> deviceFor(int number) const override;
    std::vector<Port> present() const override;
    // Named in console/active of the tty class (console=ttyS0 on the
    // kernel's command line, or the kernel's default).
    bool isSystemConsole(const std::string& device) const override;

    // Device names (ttyUSB0, ...) in port-number order.
    std::vector<std::string> deviceNames() const;

private:
    std::vector<std::string> activeConsoles() const;

    std::filesystem::path sysClassTty_;
    std::string deviceDir_;
};

// Natural name order: digit runs compare by value ("ttyAMA2" < "ttyAMA10").
bool naturalLess(const std::string& a, const std::string& b);

} // namespace platform
