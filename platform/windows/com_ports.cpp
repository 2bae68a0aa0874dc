#include "com_ports.h"

namespace platform {

// Placeholder until the registry listing lands.
std::optional<std::string> ComPortResolver::deviceFor(int number) const
{
    if (number < 1) return std::nullopt;
    return "COM" + std::to_string(number);
}

std::vector<PortResolver::Port> ComPortResolver::present() const { return {}; }

std::wstring comDevicePath(int number) { return L"\\\\.\\COM" + std::to_wstring(number); }

const PortResolver& systemPortResolver()
{
    static const ComPortResolver resolver;
    return resolver;
}

} // namespace platform
