// SPDX-License-Identifier: MIT
#pragma once

#include "platform/common/port_resolver.h"

#include <map>
#include <set>
#include <stdexcept>

// Maps port numbers to whatever devices a test names.
class MapResolver : public platform::PortResolver {
public:
    std::map<int, std::string> devices;
    std::set<std::string> consoles; // devices that are the system console
    bool unreadable = false; // listing the ports present fails, as a registry read may

    std::optional<std::string> deviceFor(int number) const override
    {
        const auto it = devices.find(number);
        if (it == devices.end()) return std::nullopt;
        return it->second;
    }
    std::vector<Port> present() const override
    {
        if (unreadable) throw std::runtime_error("the ports present cannot be read");
        std::vector<Port> ports;
        for (const auto& [number, device] : devices) ports.push_back({number, device, isSystemConsole(device)});
        return ports;
    }
    bool isSystemConsole(const std::string& device) const override { return consoles.count(device) != 0; }
};
