// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// Port number -> serial device. A seam: tests map numbers to pseudo-terminals.
class PortResolver {
public:
    struct Port {
        int number;
        std::string device;
    };
    virtual ~PortResolver() = default;
    virtual std::optional<std::string> deviceFor(int number) const = 0;
    // The ports that exist now, for error texts and the list's tooltips.
    virtual std::vector<Port> present() const = 0;
};

// "Ports present now: 1 = /dev/ttyS0, 2 = /dev/ttyUSB0", or that there are none.
std::string describePresentPorts(const PortResolver& resolver);

// The tooltip of the list's entry for port `number`, from the ports present:
// "Port 3 opens /dev/ttyUSB0", or "No device has port number 3 now".
std::string portEntryTooltip(int number, const std::vector<PortResolver::Port>& present);

// The resolver of the system the program runs on.
const PortResolver& systemPortResolver();

} // namespace platform
