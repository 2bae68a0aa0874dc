// SPDX-License-Identifier: MIT
#include "sysfs_port_resolver.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace platform {
namespace {

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

bool isDigit(char c) { return c >= '0' && c <= '9'; } // any byte, signed or not
bool isDigits(const std::string& s) { return !s.empty() && std::all_of(s.begin(), s.end(), isDigit); }

// 8250 ports that the kernel registers without hardware behind them report
// UART type 0 (unknown); they can never be opened usefully.
bool isKnownUart(const std::filesystem::path& entry)
{
    std::ifstream in(entry / "type");
    int type = 0;
    return in >> type && type != 0;
}

int familyRank(const std::string& name)
{
    if (startsWith(name, "ttyS") && isDigits(name.substr(4))) return 0;
    if (startsWith(name, "ttyUSB")) return 1;
    if (startsWith(name, "ttyACM")) return 2;
    return 3;
}

} // namespace

bool naturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && isDigit(a[ie])) ++ie;
            while (je < b.size() && isDigit(b[je])) ++je;
            // Compare by value without converting: strip leading zeros, then length, then digits.
            auto is = a.find_first_not_of('0', i), js = b.find_first_not_of('0', j);
            is = std::min(is, ie);
            js = std::min(js, je);
            if (ie - is != je - js) return ie - is < je - js;
            const int cmp = a.compare(is, ie - is, b, js, je - js);
            if (cmp != 0) return cmp < 0;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

SysfsPortResolver::SysfsPortResolver(std::filesystem::path sysClassTty, std::string deviceDir)
    : sysClassTty_(std::move(sysClassTty)), deviceDir_(std::move(deviceDir))
{
}

std::vector<std::string> SysfsPortResolver::deviceNames() const
{
    std::vector<std::string> names;
    std::error_code walkError;
    for (std::filesystem::directory_iterator it(sysClassTty_, walkError), end; !walkError && it != end;
         it.increment(walkError)) {
        const auto& entry = it->path();
        const std::string name = entry.filename().string();
        // Only ttys with hardware behind them have a device link; virtual
        // consoles, ptmx and the like have none. An entry we cannot read is
        // skipped; it must not end the walk, or every port after it would
        // get another number. A Bluetooth port bound by `rfcomm bind` gets
        // its link only while connected (rfcomm_reparent_device in
        // net/bluetooth/rfcomm/tty.c), yet opening it connects: it is a
        // port all along, and its number must not move when a link comes up.
        std::error_code entryError;
        if (!startsWith(name, "rfcomm") && !std::filesystem::exists(entry / "device", entryError)) continue;
        if (familyRank(name) == 0 && !isKnownUart(entry)) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int ra = familyRank(a), rb = familyRank(b);
        return ra != rb ? ra < rb : naturalLess(a, b);
    });
    return names;
}

std::optional<std::string> SysfsPortResolver::deviceFor(int number) const
{
    const auto names = deviceNames();
    if (number < 1 || static_cast<std::size_t>(number) > names.size()) return std::nullopt;
    return deviceDir_ + "/" + names[static_cast<std::size_t>(number) - 1];
}

std::vector<std::string> SysfsPortResolver::activeConsoles() const
{
    std::vector<std::string> names; // "tty0 ttyS0": the kernel writes to each
    std::ifstream active(sysClassTty_ / "console" / "active");
    for (std::string name; active >> name;) names.push_back(name);
    return names;
}

bool SysfsPortResolver::isSystemConsole(const std::string& device) const
{
    const auto consoles = activeConsoles();
    const std::string name = std::filesystem::path(device).filename().string();
    return std::find(consoles.begin(), consoles.end(), name) != consoles.end();
}

std::vector<PortResolver::Port> SysfsPortResolver::present() const
{
    const auto consoles = activeConsoles();
    std::vector<Port> ports;
    int number = 0;
    for (const auto& name : deviceNames()) {
        const bool console = std::find(consoles.begin(), consoles.end(), name) != consoles.end();
        ports.push_back({++number, deviceDir_ + "/" + name, console});
    }
    return ports;
}

const PortResolver& systemPortResolver()
{
    static const SysfsPortResolver resolver;
    return resolver;
}

} // namespace platform
