// SPDX-License-Identifier: MIT
#include "port_resolver.h"

#include "console/port_number.h"
#include "console/untrapped_error.h"

namespace platform {

std::string describePresentPorts(const PortResolver& resolver)
{
    const auto ports = resolver.present();
    if (ports.empty()) return "No serial port is present now.";
    std::string text = "Ports present now: ";
    for (std::size_t i = 0; i < ports.size(); ++i)
        text += (i ? ", " : "") + std::to_string(ports[i].number) + " = " + ports[i].device;
    return text + ".";
}

std::optional<std::string> portEntryTooltip(std::string_view entry, const std::vector<PortResolver::Port>& present)
try {
    const int number = console::readPortNumber(entry);
    for (const auto& port : present)
        if (port.number == number)
            return "Port " + std::to_string(number) + " opens " + port.device
                   + (port.systemConsole ? ", the system console (Start refuses it)" : "");
    return "No device has port number " + std::to_string(number) + " now";
} catch (const console::UntrappedError&) {
    return std::nullopt; // the reading's overflow
}

} // namespace platform
