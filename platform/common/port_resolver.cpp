// SPDX-License-Identifier: MIT
#include "port_resolver.h"

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

std::string portEntryTooltip(int number, const std::vector<PortResolver::Port>& present)
{
    for (const auto& port : present)
        if (port.number == number)
            return "Port " + std::to_string(number) + " opens " + port.device
                   + (port.systemConsole ? ", the system console (Start refuses it)" : "");
    return "No device has port number " + std::to_string(number) + " now";
}

} // namespace platform
