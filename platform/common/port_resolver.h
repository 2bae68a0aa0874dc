// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Port number -> serial device. A seam: tests map numbers to pseudo-terminals.
class PortResolver {
public:
    struct Port {
        int number;
        std::string device;
        bool systemConsole = false; // the kernel's console: Start refuses it
    };
    virtual ~PortResolver() = default;
    virtual std::optional<std::string> deviceFor(int number) const = 0;
    // The ports that exist now, for error texts and the list's tooltips.
    virtual std::vector<Port> present() const = 0;
    // Whether the device is an active system console (Linux: a built-in UART
    // of a server or a single-board computer often is).
    virtual bool isSystemConsole(const std::string& /*device*/) const { return false; }
};

// "Ports present now: 1 = /dev/ttyS0, 2 = /dev/ttyUSB0", or that there are none.
std::string describePresentPorts(const PortResolver& resolver);

// The tooltip of a list entry, for the number Start would read from its
// text, from the ports present: "Port 3 opens /dev/ttyUSB0", "Port 1 opens
// /dev/ttyS0, the system console (Start refuses it)", or "No device has port
// number 3 now"; none where the text reads as no port number (overflow).
std::optional<std::string> portEntryTooltip(std::string_view entry, const std::vector<PortResolver::Port>& present);

// The resolver of the system the program runs on.
const PortResolver& systemPortResolver();

} // namespace platform
