// SPDX-License-Identifier: MIT
#include "com_ports.h"

#include "com_port_registry.h"

#include <algorithm>
#include <cctype>

namespace platform {

std::optional<std::string> ComPortResolver::deviceFor(int number) const
{
    if (number < 1) return std::nullopt;
    return "COM" + std::to_string(number);
}

std::vector<PortResolver::Port> ComPortResolver::present() const
{
    // Read when the port list drops down: the registry and SetupAPI alone.
    return listComPorts(readSerialComm(), readFriendlyNames());
}

std::wstring comDevicePath(int number) { return L"\\\\.\\COM" + std::to_wstring(number); }

std::optional<int> comPortNumber(std::string_view portName)
{
    constexpr std::string_view prefix = "COM";
    if (portName.size() <= prefix.size() || portName.size() > prefix.size() + 5) return std::nullopt;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(portName[i])) != prefix[i]) return std::nullopt;
    const std::string_view digits = portName.substr(prefix.size());
    if (digits.front() == '0') return std::nullopt;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number > 32767) return std::nullopt;
    return number;
}

std::vector<PortResolver::Port> listComPorts(const std::vector<SerialCommValue>& values,
                                             const std::map<std::string, std::string>& friendlyNames)
{
    std::vector<PortResolver::Port> ports;
    for (const auto& value : values) {
        const auto number = comPortNumber(value.portName);
        if (!number) continue;
        const std::string name = "COM" + std::to_string(*number);
        const auto named = friendlyNames.find(name);
        std::string description;
        if (named == friendlyNames.end() || named->second.empty())
            description = name + " (" + value.deviceName + ")";
        else if (named->second.find("(" + name + ")") == std::string::npos)
            description = named->second + " (" + name + ")";
        else
            description = named->second;
        ports.push_back({*number, description});
    }
    std::stable_sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    return ports;
}

const PortResolver& systemPortResolver()
{
    static const ComPortResolver resolver;
    return resolver;
}

} // namespace platform
